#include "exceptions.hpp"

#include "once_object.hpp"

namespace kelmora::python {
namespace {

OnceObject kelmora_error_cell;
OnceObject panic_exception_cell;

// The text of a str object, or a stand-in when it has no UTF-8 form.
std::string utf8_or(PyObject* text, std::string_view fallback) {
    if (text) {
        Py_ssize_t size = 0;
        if (const char* data = PyUnicode_AsUTF8AndSize(text, &size)) return std::string(data, static_cast<std::size_t>(size));
        PyErr_Clear();
    }
    return std::string(fallback);
}

std::string repr_text(PyObject* object) {
    Ref repr = Ref::steal(PyObject_Repr(object));
    if (!repr) PyErr_Clear();
    return utf8_or(repr.get(), "<repr failed>");
}

Ref utf8_str(std::string_view text) {
    // Library texts are UTF-8; a stray byte would be shown, not lost.
    return Ref::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

}  // namespace

PyObject* kelmora_error_type() {
    return kelmora_error_cell.get([]() -> PyObject* {
        PyObject* made = PyErr_NewExceptionWithDoc("kelmora.KelmoraError", nullptr, PyExc_Exception, nullptr);
        if (!made) internal_error("Failed to initialize new exception type.: " + take_error_debug_text());
        return made;
    });
}

PyObject* panic_exception_type() {
    return panic_exception_cell.get([]() -> PyObject* {
        return PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", nullptr, PyExc_BaseException, nullptr);
    });
}

void raise_kelmora_error(PyObject* message, std::string_view kind) {
    PyObject* type = kelmora_error_type();
    if (!type) return;
    Ref kind_text = utf8_str(kind);
    if (!kind_text) return;
    Ref error = Ref::steal(PyObject_CallFunctionObjArgs(type, message, kind_text.get(), nullptr));
    // Raised as a raise statement would: an exception being handled becomes
    // its context.
    if (error) PyErr_SetObject(type, error.get());
}

void raise_kelmora_error(std::string_view message, std::string_view kind) {
    Ref text = utf8_str(message);
    if (text) raise_kelmora_error(text.get(), kind);
}

void raise_library_error(const Error& error) {
    raise_kelmora_error(error.message(), error.kind_name());
}

Ref type_qualified_name(PyTypeObject* type) {
    return Ref::steal(PyType_GetQualName(type));
}

void raise_type_mismatch(PyObject* object, const char* required) {
    if (object == Py_None) {
        PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", required);
        return;
    }
    Ref name = type_qualified_name(Py_TYPE(object));
    if (!name) return;
    PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", name.get(), required);
}

Ref exception_display(PyObject* exception) {
    Ref name = type_qualified_name(Py_TYPE(exception));
    if (!name) {
        PyErr_Clear();
        name = Ref::steal(PyUnicode_FromString("unknown"));
        if (!name) return Ref();
    }
    Ref text = Ref::steal(PyObject_Str(exception));
    if (!text) {
        PyErr_Clear();
        text = Ref::steal(PyUnicode_FromString("<exception str() failed>"));
        if (!text) return Ref();
    }
    return Ref::steal(PyUnicode_FromFormat("%U: %U", name.get(), text.get()));
}

std::string take_error_debug_text() {
    Ref error = Ref::steal(PyErr_GetRaisedException());
    if (!error) return "PyErr { no exception set }";
    Ref traceback = Ref::steal(PyException_GetTraceback(error.get()));
    std::string text = "PyErr { type: ";
    text += repr_text(reinterpret_cast<PyObject*>(Py_TYPE(error.get())));
    text += ", value: ";
    text += repr_text(error.get());
    text += ", traceback: ";
    text += traceback ? repr_text(traceback.get()) : std::string("None");
    text += " }";
    return text;
}

void raise_recursion_error() noexcept {
    PyErr_SetString(PyExc_RecursionError, StackExhausted().what());
}

void raise_internal_error(const InternalError& error) noexcept {
    const ErrorLocation& where = error.location();
    std::string report = "internal error at " + where.file + ":" + std::to_string(where.line) + ":" +
                         std::to_string(where.column) + ":\n" + error.message() + "\n";
    std::fwrite(report.data(), 1, report.size(), stderr);
    std::fflush(stderr);

    // Whatever was pending is superseded by the internal error.
    PyErr_Clear();
    PyObject* type = panic_exception_type();
    if (!type) return;
    Ref message = utf8_str(error.message());
    if (!message) return;
    Ref exception = Ref::steal(PyObject_CallOneArg(type, message.get()));
    if (exception) PyErr_SetRaisedException(exception.release());
}

}  // namespace kelmora::python
