#include "to_python.hpp"

#include "exceptions.hpp"
#include "once_object.hpp"
#include "thread_stack.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kelmora/internal_error.hpp"

namespace kelmora::python {
namespace {

Ref str_of(std::string_view text) {
    return Ref::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

// A list of the elements, each converted; null with the error set when one
// cannot be made.
template <class Element, class Convert>
Ref list_of(const std::vector<Element>& elements, Convert&& convert) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(elements.size())));
    if (!list) return list;
    Py_ssize_t index = 0;
    for (const Element& element : elements) {
        Ref item = convert(element);
        if (!item) return Ref();
        PyList_SET_ITEM(list.get(), index++, item.release());
    }
    return list;
}

struct Converter {
    Ref operator()(JsonValue::Null) const { return Ref::borrow(Py_None); }
    Ref operator()(bool b) const { return Ref::borrow(b ? Py_True : Py_False); }
    Ref operator()(std::uint64_t u) const { return Ref::steal(PyLong_FromUnsignedLongLong(u)); }
    Ref operator()(std::int64_t i) const { return Ref::steal(PyLong_FromLongLong(i)); }
    Ref operator()(double d) const { return Ref::steal(PyFloat_FromDouble(d)); }
    Ref operator()(const std::string& s) const { return str_of(s); }
    Ref operator()(const JsonValue::Array& array) const {
        return list_of(array, [](const JsonValue& element) { return to_python(element); });
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

// The conversion's result as to_dict and to_battinfo return it: a failure
// becomes the SerializationError, with the failure's own text.
PyObject* serialization_result(Ref result) {
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

// The fixed texts of a tree's dict form: its member names, then the texts of
// node tags, kinds, units and bases. They are made once per process as
// interned str objects held by one tuple that is never released; interned
// strings are immortal in the free-threaded interpreter, so threads share
// them without touching a reference count. Dicts keyed by them also skip
// hashing, as every interned string keeps its hash.
constexpr Py_ssize_t tag_count = 4, kind_count = 3, unit_count = 5, basis_count = 3;

enum class Text : Py_ssize_t {
    amount,
    basis,
    compound,
    kind,
    name,
    node,
    node_type,
    share,
    solute,
    solute_amount,
    solvent,
    terms,
    unit,
    value,
    first_tag,
    first_kind = first_tag + tag_count,
    first_unit = first_kind + kind_count,
    first_basis = first_unit + unit_count,
    end = first_basis + basis_count,
};

constexpr std::size_t text_count = static_cast<std::size_t>(Text::end);

std::array<std::string_view, text_count> fixed_texts() {
    return {
        "amount",
        "basis",
        "compound",
        "kind",
        "name",
        "node",
        "node_type",
        "share",
        "solute",
        "solute_amount",
        "solvent",
        "terms",
        "unit",
        "value",
        node_tag(Node(Compound{})),
        node_tag(Node(RatioMixture{})),
        node_tag(Node(Solution{})),
        node_tag(Node(Blend{})),
        kind_text(CompoundKind::Salt),
        kind_text(CompoundKind::Solvent),
        kind_text(CompoundKind::Unknown),
        unit_text(ConcentrationUnit::Molar),
        unit_text(ConcentrationUnit::Molal),
        unit_text(ConcentrationUnit::WeightPercent),
        unit_text(ConcentrationUnit::MolePercent),
        unit_text(ConcentrationUnit::VolumePercent),
        basis_text(RatioBasis::Weight),
        basis_text(RatioBasis::Mole),
        basis_text(RatioBasis::Volume),
    };
}

OnceObject texts_cell;

PyObject* make_texts() {
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(text_count)));
    if (!tuple) return nullptr;
    Py_ssize_t index = 0;
    for (std::string_view text : fixed_texts()) {
        PyObject* item = str_of(text).release();
        if (!item) return nullptr;
        PyUnicode_InternInPlace(&item);
        PyTuple_SET_ITEM(tuple.get(), index++, item);
    }
    return tuple.release();
}

// One walk over the tree. Every dict gets its members in ascending key
// order, the order that the JSON value's objects keep.
class TreeConverter {
public:
    explicit TreeConverter(PyObject* texts) : texts_(texts) {}

    Ref node(const Node& node) const {
        ensure_interpreter_room(stack_);
        switch (node.value.index()) {
            case 0: return compound(*node.get_if<Compound>(), true);
            case 1: return mixture(*node.get_if<RatioMixture>());
            case 2: return solution(*node.get_if<Solution>());
            case 3: return blend(*node.get_if<Blend>());
        }
        internal_error("a node holds none of the four alternatives");
    }

private:
    PyObject* text(Text which) const { return PyTuple_GET_ITEM(texts_, static_cast<Py_ssize_t>(which)); }
    // One of `count` texts from `first` on, by an enumerator's value.
    template <class Enum>
    Ref text_of(Text first, Py_ssize_t count, Enum value) const {
        const auto offset = static_cast<Py_ssize_t>(value);
        if (offset < 0 || offset >= count) internal_error("an enumerator outside its texts");
        return Ref::borrow(text(static_cast<Text>(static_cast<Py_ssize_t>(first) + offset)));
    }
    // The tag of the node alternative with this index.
    Ref tag(std::size_t alternative) const { return text_of(Text::first_tag, tag_count, alternative); }

    static Ref new_dict() { return Ref::steal(PyDict_New()); }
    // False with the error set when the value could not be made or stored.
    bool set(const Ref& dict, Text key, const Ref& value) const {
        return value && PyDict_SetItem(dict.get(), text(key), value.get()) == 0;
    }
    // A non-finite float is None, as in the JSON value.
    static Ref number(double value) {
        if (!std::isfinite(value)) return Ref::borrow(Py_None);
        return Ref::steal(PyFloat_FromDouble(value));
    }

    Ref compound(const Compound& compound, bool tagged) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::kind, text_of(Text::first_kind, kind_count, compound.kind)) ||
            !set(dict, Text::name, str_of(compound.name)) ||
            (tagged && !set(dict, Text::node_type, tag(0))))
            return Ref();
        return dict;
    }

    Ref amount(const Amount& amount) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::unit, text_of(Text::first_unit, unit_count, amount.unit)) ||
            !set(dict, Text::value, number(amount.value)))
            return Ref();
        return dict;
    }

    Ref ratio_term(const RatioTerm& term) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::compound, compound(term.compound, false)) ||
            !set(dict, Text::share, number(term.share)))
            return Ref();
        return dict;
    }

    Ref mixture(const RatioMixture& mixture) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::basis, text_of(Text::first_basis, basis_count, mixture.basis)) ||
            !set(dict, Text::node_type, tag(1)) ||
            !set(dict, Text::terms, list_of(mixture.terms, [this](const RatioTerm& t) { return ratio_term(t); })))
            return Ref();
        return dict;
    }

    Ref solution(const Solution& solution) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::node_type, tag(2)) ||
            !set(dict, Text::solute, node(*solution.solute)) ||
            !set(dict, Text::solute_amount, amount(solution.solute_amount)) ||
            !set(dict, Text::solvent, node(*solution.solvent)))
            return Ref();
        return dict;
    }

    Ref blend_term(const BlendTerm& term) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::amount, term.amount ? amount(*term.amount) : Ref::borrow(Py_None)) ||
            !set(dict, Text::node, node(term.node)))
            return Ref();
        return dict;
    }

    Ref blend(const Blend& blend) const {
        Ref dict = new_dict();
        if (!dict || !set(dict, Text::node_type, tag(3)) ||
            !set(dict, Text::terms, list_of(blend.terms, [this](const BlendTerm& t) { return blend_term(t); })))
            return Ref();
        return dict;
    }

    PyObject* texts_;
    const StackBounds stack_ = stack_bounds();
};

}  // namespace

Ref to_python(const JsonValue& value) {
    ensure_interpreter_room();
    return std::visit(Converter{}, value.value());
}

PyObject* to_python_dict(const JsonValue& value) {
    return serialization_result(to_python(value));
}

PyObject* to_python_dict(const Node& node) {
    PyObject* texts = texts_cell.get(make_texts);
    return serialization_result(texts ? TreeConverter(texts).node(node) : Ref());
}

}  // namespace kelmora::python
