#include "to_python.hpp"

#include "exceptions.hpp"

#include <cstdint>
#include <string>

namespace kelmora::python {
namespace {

Ref str_of(const std::string& text) {
    return Ref::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

struct Converter {
    Ref operator()(JsonValue::Null) const { return Ref::borrow(Py_None); }
    Ref operator()(bool b) const { return Ref::borrow(b ? Py_True : Py_False); }
    Ref operator()(std::uint64_t u) const { return Ref::steal(PyLong_FromUnsignedLongLong(u)); }
    Ref operator()(std::int64_t i) const { return Ref::steal(PyLong_FromLongLong(i)); }
    Ref operator()(double d) const { return Ref::steal(PyFloat_FromDouble(d)); }
    Ref operator()(const std::string& s) const { return str_of(s); }
    Ref operator()(const JsonValue::Array& array) const {
        Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(array.size())));
        if (!list) return list;
        Py_ssize_t index = 0;
        for (const JsonValue& element : array) {
            Ref item = to_python(element);
            if (!item) return Ref();
            PyList_SET_ITEM(list.get(), index++, item.release());
        }
        return list;
    }
    Ref operator()(const JsonValue::Object& object) const {
        Ref dict = Ref::steal(PyDict_New());
        if (!dict) return dict;
        for (const auto& [key, member] : object) {
            Ref key_object = str_of(key);
            if (!key_object) return Ref();
            Ref item = to_python(member);
            if (!item || PyDict_SetItem(dict.get(), key_object.get(), item.get()) < 0) return Ref();
        }
        return dict;
    }
};

}  // namespace

Ref to_python(const JsonValue& value) {
    return std::visit(Converter{}, value.value());
}

PyObject* to_python_dict(const JsonValue& value) {
    Ref result = to_python(value);
    if (!result) {
        Ref error = Ref::steal(PyErr_GetRaisedException());
        Ref message = exception_display(error.get());
        if (message) raise_kelmora_error(message.get(), "SerializationError");
        return nullptr;
    }
    if (!PyDict_Check(result.get())) {
        raise_kelmora_error("root node did not serialize to a JSON object", "SerializationError");
        return nullptr;
    }
    return result.release();
}

}  // namespace kelmora::python
