#include "formulation.hpp"

#include "arguments.hpp"
#include "exceptions.hpp"
#include "from_python.hpp"
#include "once_object.hpp"
#include "representation.hpp"
#include "to_python.hpp"
#include "warnings_log.hpp"

#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "kelmora/battinfo.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/registry.hpp"
#include "kelmora/render.hpp"
#include "kelmora/validate.hpp"

namespace kelmora::python {
namespace {

// What a Formulation owns; made complete and never changed afterwards.
struct Payload {
    Node tree;
    std::vector<std::string> warnings;
};

struct FormulationObject {
    PyObject_HEAD
    Payload* payload;
};

const Payload& payload_of(PyObject* self) {
    return *reinterpret_cast<FormulationObject*>(self)->payload;
}

PyObject* str_of(const std::string& text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

constexpr Callable parse_callable{"parse()", "text"};
constexpr Callable from_dict_callable{"Formulation.from_dict()", "dict"};
constexpr Callable from_json_callable{"Formulation.from_json()", "json"};

// A tree read from data: checked like a parsed one, without warnings.
PyObject* checked_formulation(Node tree) {
    if (auto checked = validate_tree(tree); !checked) {
        raise_library_error(checked.error());
        return nullptr;
    }
    return make_formulation(std::move(tree), {});
}

PyObject* parse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject* argument = single_argument(parse_callable, args, nargs, kwnames);
        if (!argument) return nullptr;
        auto text = text_argument(parse_callable, argument);
        if (!text) return nullptr;
        auto outcome = parse_and_validate(*text);
        if (!outcome) {
            raise_library_error(outcome.error());
            return nullptr;
        }
        log_warnings(outcome->warnings);
        return make_formulation(std::move(outcome->tree), std::move(outcome->warnings));
    });
}

PyObject* to_dict(PyObject* self, PyObject*) {
    return guarded<PyObject*>(nullptr, [&] { return to_python_dict(payload_of(self).tree); });
}

PyObject* to_json(PyObject* self, PyObject*) {
    return guarded<PyObject*>(nullptr, [&] { return str_of(to_json_text(payload_of(self).tree)); });
}

PyObject* to_battinfo(PyObject* self, PyObject*) {
    return guarded<PyObject*>(nullptr, [&] {
        const CompoundRegistry registry;
        return to_python_dict(to_battinfo_jsonld(payload_of(self).tree, registry));
    });
}

PyObject* normalize(PyObject* self, PyObject*) {
    return guarded<PyObject*>(nullptr, [&] { return str_of(render_as_term(payload_of(self).tree)); });
}

PyObject* from_dict(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject* argument = single_argument(from_dict_callable, args, nargs, kwnames);
        if (!argument || !dict_argument(from_dict_callable, argument)) return nullptr;
        return reading_data([&]() -> PyObject* {
            auto tree = read_node_from_python(argument);
            if (!tree) {
                Ref message = tree.error().display();
                if (message) raise_kelmora_error(message.get(), "DeserializationError");
                return nullptr;
            }
            return checked_formulation(std::move(*tree));
        });
    });
}

PyObject* from_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject* argument = single_argument(from_json_callable, args, nargs, kwnames);
        if (!argument) return nullptr;
        auto text = text_argument(from_json_callable, argument);
        if (!text) return nullptr;
        return reading_data([&]() -> PyObject* {
            auto tree = read_json_tree(*text);
            if (!tree) {
                raise_kelmora_error(tree.error().display(), "DeserializationError");
                return nullptr;
            }
            return checked_formulation(std::move(*tree));
        });
    });
}

PyObject* get_warnings(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        const auto& warnings = payload_of(self).warnings;
        Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(warnings.size())));
        if (!list) return nullptr;
        for (std::size_t i = 0; i < warnings.size(); ++i) {
            PyObject* item = str_of(warnings[i]);
            if (!item) return nullptr;
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
        }
        return list.release();
    });
}

PyObject* representation(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&] {
        const Payload& payload = payload_of(self);
        return str_of(representation_text(render_as_term(payload.tree), payload.warnings));
    });
}

// Takes a tree apart one node at a time, so that its depth costs no stack.
void release_flat(Node tree) {
    std::vector<Node> pending;
    const auto take_inner = [&pending](Node& node) {
        if (auto* solution = std::get_if<Solution>(&node.value)) {
            for (std::unique_ptr<Node>* part : {&solution->solute, &solution->solvent}) {
                if (*part) pending.push_back(std::move(**part));
            }
        } else if (auto* blend = std::get_if<Blend>(&node.value)) {
            for (BlendTerm& term : blend->terms) pending.push_back(std::move(term.node));
        }
    };
    take_inner(tree);
    while (!pending.empty()) {
        Node node = std::move(pending.back());
        pending.pop_back();
        // What stays of it once its parts are moved out is destroyed here.
        take_inner(node);
    }
}

void deallocate(PyObject* self) {
    guarded_dealloc([&] {
        std::unique_ptr<Payload> payload(std::exchange(reinterpret_cast<FormulationObject*>(self)->payload, nullptr));
        // Releasing a tree recurses through it, which costs little stack per
        // level; where the interpreter itself is short of stack (a release
        // while a RecursionError unwinds), the tree is taken apart flat.
        if (payload && stack_is_short(interpreter_call_room)) release_flat(std::move(payload->tree));
    });
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

// Each stored documentation string: the name and text signature, "--", an
// empty line, then the text; the interpreter derives __text_signature__.
constexpr const char class_doc[] =
    "Returned by `parse()`, `from_dict()`, and `from_json()`: a validated canonical tree,\n"
    "plus any non-fatal warnings collected while parsing text (e.g. an unbracketed\n"
    "`in`/`+` mix). `warnings` is always empty for the `from_dict`/`from_json`\n"
    "construction paths, since warnings are a parse-time-only, surface-syntax concept\n"
    "that doesn't apply once starting from already-structured data.";

constexpr const char parse_doc[] =
    "parse(text)\n--\n\n"
    "Parse a formulation shorthand string into a validated canonical tree.\n"
    "Raises `kelmora.KelmoraError` on any parse or validation failure. Any non-fatal\n"
    "warnings (e.g. an unrecognized compound, or an unbracketed `in`/`+` mix) are both\n"
    "attached to the returned `Formulation.warnings` AND emitted through Python's\n"
    "standard `logging` module (logger name `\"kelmora\"`), so they're visible to callers\n"
    "who only skim logs/test output and never inspect the returned object.";

constexpr const char to_dict_doc[] =
    "to_dict($self)\n--\n\n"
    "The canonical tree as a Python dict (recursively converted from the same\n"
    "JSON representation used by `to_json`).";

constexpr const char to_json_doc[] =
    "to_json($self)\n--\n\n"
    "The canonical tree as a compact JSON string.";

constexpr const char to_battinfo_doc[] =
    "to_battinfo($self)\n--\n\n"
    "The canonical tree exported as a BattINFO/EMMO-flavored JSON-LD dict. See\n"
    "`battinfo` for the design rationale (no authoritative BattINFO convention exists\n"
    "for a full electrolyte composition, so this defines a reasonable one).";

constexpr const char normalize_doc[] =
    "normalize($self)\n--\n\n"
    "Render the tree back to canonical shorthand text (may add disambiguating\n"
    "brackets not present in the original input; never loses information).";

constexpr const char from_dict_doc[] =
    "from_dict(dict)\n--\n\n"
    "Construct a `Formulation` from a Python dict shaped like `to_dict()`'s output\n"
    "(e.g. `{\"node_type\": \"compound\", \"name\": \"LiPF6\", \"kind\": \"salt\"}`). Re-runs the\n"
    "same semantic validation that parsing text performs, so a hand-edited or\n"
    "externally-built dict that violates a domain invariant (e.g. two base terms in a\n"
    "Blend, or an `M` amount outside a Solution) is rejected here too, not silently\n"
    "accepted just because it deserializes structurally.";

constexpr const char from_json_doc[] =
    "from_json(json)\n--\n\n"
    "Construct a `Formulation` from a JSON string shaped like `to_json()`'s output.\n"
    "Same re-validation as `from_dict`.";

template <class F>
PyCFunction as_function(F* function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

PyMethodDef methods[] = {
    {"to_dict", as_function(to_dict), METH_NOARGS, to_dict_doc},
    {"to_json", as_function(to_json), METH_NOARGS, to_json_doc},
    {"to_battinfo", as_function(to_battinfo), METH_NOARGS, to_battinfo_doc},
    {"normalize", as_function(normalize), METH_NOARGS, normalize_doc},
    {"from_dict", as_function(from_dict), METH_FASTCALL | METH_KEYWORDS | METH_STATIC, from_dict_doc},
    {"from_json", as_function(from_json), METH_FASTCALL | METH_KEYWORDS | METH_STATIC, from_json_doc},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef properties[] = {
    {"warnings", get_warnings, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>(class_doc)},
    {Py_tp_repr, reinterpret_cast<void*>(representation)},
    {Py_tp_dealloc, reinterpret_cast<void*>(deallocate)},
    {Py_tp_methods, methods},
    {Py_tp_getset, properties},
    {0, nullptr},
};

// Not a base type, and no constructor: only parse, from_dict and from_json
// make instances.
PyType_Spec spec = {
    "builtins.Formulation",
    static_cast<int>(sizeof(FormulationObject)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

OnceObject type_cell;

}  // namespace

PyMethodDef parse_definition = {"parse", as_function(parse), METH_FASTCALL | METH_KEYWORDS, parse_doc};

PyObject* formulation_type() {
    return type_cell.get([]() -> PyObject* {
        PyObject* type = PyType_FromSpec(&spec);
        if (!type) {
            Ref cause = Ref::steal(PyErr_GetRaisedException());
            PyErr_SetString(PyExc_RuntimeError, "An error occurred while initializing class Formulation");
            Ref error = Ref::steal(PyErr_GetRaisedException());
            PyException_SetCause(error.get(), cause.release());
            PyErr_SetRaisedException(error.release());
        }
        return type;
    });
}

PyObject* make_formulation(Node tree, std::vector<std::string> warnings) {
    auto* type = reinterpret_cast<PyTypeObject*>(formulation_type());
    if (!type) return nullptr;
    // Owned until the object takes it, so a failed allocation releases it.
    auto payload = std::make_unique<Payload>(Payload{std::move(tree), std::move(warnings)});
    PyObject* object = type->tp_alloc(type, 0);
    if (!object) return nullptr;
    reinterpret_cast<FormulationObject*>(object)->payload = payload.release();
    return object;
}

}  // namespace kelmora::python
