// The extension module _core: its definition, its one exported entry and
// the exec step that fills each new module object.
#include "exceptions.hpp"
#include "formulation.hpp"

namespace kelmora::python {
namespace {

// Appends the name to the module's __all__ (made on first use), then sets
// the attribute.
bool add_to_module(PyObject* module, PyObject* name, PyObject* value) {
    Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all = Ref::steal(PyList_New(0));
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return false;
    } else if (!PyList_Check(all.get())) {
        raise_type_mismatch(all.get(), "list");
        return false;
    }
    if (PyList_Append(all.get(), name) < 0) {
        internal_error("could not append __name__ to __all__: " + take_error_debug_text());
    }
    return PyObject_SetAttr(module, name, value) == 0;
}

bool add_named(PyObject* module, const char* name, PyObject* value) {
    Ref key = Ref::steal(PyUnicode_FromString(name));
    return key && add_to_module(module, key.get(), value);
}

// The type objects and the cached classes and names of the module are made
// once per process, in the interpreter that needs them first, and hold
// objects of that interpreter. Only the main interpreter, which lives as long
// as the process, may therefore load the module.
bool refuse_subinterpreter(PyObject* module_name) {
    if (PyInterpreterState_Get() == PyInterpreterState_Main()) return false;
    Ref message = Ref::steal(PyUnicode_FromFormat("module %U does not support loading in subinterpreters", module_name));
    if (message) PyErr_SetImportError(message.get(), module_name, nullptr);
    return true;
}

int exec_module(PyObject* module) {
    return guarded<int>(-1, [&] {
        if (!PyModule_Check(module)) {
            raise_type_mismatch(module, "module");
            return -1;
        }
        Ref module_name = Ref::steal(PyModule_GetNameObject(module));
        if (!module_name || refuse_subinterpreter(module_name.get())) return -1;
        Ref parse = Ref::steal(PyCFunction_NewEx(&parse_definition, module, module_name.get()));
        if (!parse) return -1;
        Ref parse_name = Ref::steal(PyObject_GetAttrString(parse.get(), "__name__"));
        if (!parse_name) return -1;
        if (!PyUnicode_Check(parse_name.get())) {
            raise_type_mismatch(parse_name.get(), "str");
            return -1;
        }
        if (!add_to_module(module, parse_name.get(), parse.get())) return -1;

        PyObject* formulation = formulation_type();
        if (!formulation || !add_named(module, "Formulation", formulation)) return -1;
        PyObject* error = kelmora_error_type();
        if (!error || !add_named(module, "KelmoraError", error)) return -1;
        return 0;
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_core",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace kelmora::python

PyMODINIT_FUNC PyInit__core() {
    return PyModuleDef_Init(&kelmora::python::module_definition);
}
