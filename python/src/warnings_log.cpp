#include "warnings_log.hpp"

#include "interned_name.hpp"

namespace kelmora::python {
namespace {

InternedName logging_name("logging");
InternedName get_logger_name("getLogger");
InternedName warning_name("warning");
InternedName kelmora_name("kelmora");

}  // namespace

void log_warnings(const std::vector<std::string>& warnings) noexcept {
    if (warnings.empty()) return;
    PyObject* name = logging_name.get();
    Ref logging = name ? Ref::steal(PyImport_Import(name)) : Ref();
    PyObject* get_logger = logging ? get_logger_name.get() : nullptr;
    PyObject* logger_name = get_logger ? kelmora_name.get() : nullptr;
    Ref logger = logger_name ? Ref::steal(PyObject_CallMethodOneArg(logging.get(), get_logger, logger_name)) : Ref();
    PyObject* method = logger ? warning_name.get() : nullptr;
    if (!method) {
        PyErr_Clear();
        return;
    }
    for (const std::string& warning : warnings) {
        Ref text = Ref::steal(PyUnicode_FromStringAndSize(warning.data(), static_cast<Py_ssize_t>(warning.size())));
        Ref result = text ? Ref::steal(PyObject_CallMethodOneArg(logger.get(), method, text.get())) : Ref();
        if (!result) PyErr_Clear();
    }
}

}  // namespace kelmora::python
