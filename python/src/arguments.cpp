#include "arguments.hpp"

#include "exceptions.hpp"
#include "interned_name.hpp"

namespace kelmora::python {
namespace {

InternedName add_note_name("add_note");

// Adds the note naming the parameter to the pending exception; a failure of
// add_note itself is dropped.
void add_parameter_note(const Callable& callable) {
    Ref error = Ref::steal(PyErr_GetRaisedException());
    if (!error) return;
    Ref note = Ref::steal(PyUnicode_FromFormat("while processing '%s'", callable.parameter));
    PyObject* method = add_note_name.get();
    Ref result = note && method ? Ref::steal(PyObject_CallMethodOneArg(error.get(), method, note.get())) : Ref();
    if (!result) PyErr_Clear();
    PyErr_SetRaisedException(error.release());
}

bool is_parameter(const Callable& callable, PyObject* keyword) {
    if (!PyUnicode_Check(keyword)) return false;
    Py_ssize_t size = 0;
    const char* name = PyUnicode_AsUTF8AndSize(keyword, &size);
    if (!name) {
        // A name without a UTF-8 form cannot be the parameter's.
        PyErr_Clear();
        return false;
    }
    return std::string_view(name, static_cast<std::size_t>(size)) == callable.parameter;
}

}  // namespace

PyObject* single_argument(const Callable& callable, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    if (nargs > 1) {
        PyErr_Format(PyExc_TypeError, "%s takes 1 positional arguments but %zd were given", callable.display, nargs);
        return nullptr;
    }
    PyObject* value = nargs == 1 ? args[0] : nullptr;
    Py_ssize_t keywords = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t i = 0; i < keywords; ++i) {
        PyObject* keyword = PyTuple_GET_ITEM(kwnames, i);
        if (!is_parameter(callable, keyword)) {
            PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'", callable.display, keyword);
            return nullptr;
        }
        if (value) {
            PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", callable.display,
                         callable.parameter);
            return nullptr;
        }
        value = args[nargs + i];
    }
    if (!value) {
        PyErr_Format(PyExc_TypeError, "%s missing 1 required positional argument: '%s'", callable.display,
                     callable.parameter);
        return nullptr;
    }
    return value;
}

std::optional<std::string_view> text_argument(const Callable& callable, PyObject* argument) {
    if (!PyUnicode_Check(argument)) {
        raise_type_mismatch(argument, "str");
        add_parameter_note(callable);
        return std::nullopt;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(argument, &size);
    if (!text) {
        add_parameter_note(callable);
        return std::nullopt;
    }
    return std::string_view(text, static_cast<std::size_t>(size));
}

bool dict_argument(const Callable& callable, PyObject* argument) {
    if (PyDict_Check(argument)) return true;
    raise_type_mismatch(argument, "dict");
    add_parameter_note(callable);
    return false;
}

}  // namespace kelmora::python
