// The tree replay: typed tree values from buffered values, with the reading
// messages of every shape error. Depth first, in the order of the buffered
// value; the first error ends it.
//
// Python data may nest solutions and blends some hundreds of levels deep, and
// the replay must fit that in a thread with a small stack. So the readers on
// the recursive path (node, solution, blend, blend term) keep lean frames:
// they fill their output in place and return only whether it went well, the
// first error's message waits in the replay, every message is built in a
// cold function of its own, and the readers of the leaf structs are kept out
// of line so that their locals stay out of the recursive frames.
#include <array>
#include <span>

#include "debug_text.hpp"
#include "kelmora/content.hpp"
#include "kelmora/stack_room.hpp"

namespace kelmora {

namespace {

constexpr std::size_t no_field = static_cast<std::size_t>(-1);

using Names = std::span<const std::string_view>;

constexpr std::array<std::string_view, 4> node_names = {"compound", "ratio_mixture", "solution", "blend"};
constexpr std::array<std::string_view, 5> unit_names = {"M", "m", "wt%", "mol%", "vol%"};
constexpr std::array<std::string_view, 3> kind_names = {"salt", "solvent", "unknown"};
constexpr std::array<std::string_view, 3> basis_names = {"wt", "mol", "vol"};

// What messages call a struct, its array form, and its fields in order.
struct Shape {
    std::string_view description;
    std::string_view array_form;
    Names fields;
    bool last_field_optional = false;
};

constexpr std::array<std::string_view, 2> compound_fields = {"name", "kind"};
constexpr std::array<std::string_view, 2> ratio_mixture_fields = {"terms", "basis"};
constexpr std::array<std::string_view, 2> ratio_term_fields = {"compound", "share"};
constexpr std::array<std::string_view, 3> solution_fields = {"solute", "solvent", "solute_amount"};
constexpr std::array<std::string_view, 1> blend_fields = {"terms"};
constexpr std::array<std::string_view, 2> blend_term_fields = {"node", "amount"};
constexpr std::array<std::string_view, 2> amount_fields = {"value", "unit"};

constexpr Shape compound_shape{"struct Compound", "struct Compound with 2 elements", compound_fields};
constexpr Shape ratio_mixture_shape{"struct RatioMixture", "struct RatioMixture with 2 elements", ratio_mixture_fields};
constexpr Shape ratio_term_shape{"struct RatioTerm", "struct RatioTerm with 2 elements", ratio_term_fields};
constexpr Shape solution_shape{"struct Solution", "struct Solution with 3 elements", solution_fields};
constexpr Shape blend_shape{"struct Blend", "struct Blend with 1 element", blend_fields};
constexpr Shape blend_term_shape{"struct BlendTerm", "struct BlendTerm with 2 elements", blend_term_fields, true};
constexpr Shape amount_shape{"struct Amount", "struct Amount with 2 elements", amount_fields};

// Indexed by node variant.
constexpr std::array<const Shape*, 4> node_shapes = {&compound_shape, &ratio_mixture_shape, &solution_shape,
                                                     &blend_shape};

// A name given as a string or as bytes (both are accepted wherever a name is).
const Content::Text* name_text(const Content& c) noexcept {
    if (const auto* s = c.get_if<Content::String>()) return &s->text;
    if (const auto* b = c.get_if<Content::Bytes>()) return &b->bytes;
    return nullptr;
}

// Only the 8-bit and 64-bit unsigned kinds stand for a position.
std::optional<std::uint64_t> position_index(const Content& c) noexcept {
    if (const auto* u8 = c.get_if<std::uint8_t>()) return *u8;
    if (const auto* u64 = c.get_if<std::uint64_t>()) return *u64;
    return std::nullopt;
}

std::size_t index_of(Names names, std::string_view name) noexcept {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return i;
    }
    return no_field;
}

// "one of `a`, `b`, `c`", "`a` or `b`", "`a`".
std::string expected_names(Names names) {
    std::string out;
    const auto quoted = [&](std::string_view n) {
        out += '`';
        out += n;
        out += '`';
    };
    if (names.size() == 2) {
        quoted(names[0]);
        out += " or ";
        quoted(names[1]);
        return out;
    }
    if (names.size() >= 3) out += "one of ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) out += ", ";
        quoted(names[i]);
    }
    return out;
}

std::string count_text(std::size_t n) { return std::to_string(n); }

// The pairs or elements that fill a struct: a whole object or array, or what
// remains of a node's once its tag is taken out.
struct Entries {
    std::span<ContentPair> pairs;         // the object form
    std::span<Content> elements;          // the array form
    std::size_t skipped_pair = no_field;  // the tag pair, already read
    bool is_array = false;
};

// A struct's fields as its entries give them, one at a time.
struct FieldWalk {
    FieldWalk(const Shape& s, const Entries& e) noexcept : shape(s), entries(e) {}
    const Shape& shape;
    const Entries& entries;
    std::size_t next = 0;  // the next element or pair to look at
    unsigned seen = 0;     // a bit per field read
    std::size_t field = no_field;
    Content* value = nullptr;
};

// Each reading fills the value it is given and answers whether it went well;
// the first error's message is kept here. On failure the partly filled tree
// is dropped by the caller.
class Replay {
public:
    explicit Replay(ValueStyle style) noexcept : style_(style) {}

    // The tree filled in `tree`, or the first error in its place.
    void finish(std::expected<Node, ReadError>& tree) {
        if (failed_) tree = std::unexpected(ReadError{std::move(error_), 0, 0});
    }

    // A whole node, its tag included.
    bool node(Content& content, Node& out) {
        ensure_stack_room(stack_);
        Entries entries;
        std::size_t variant = no_field;
        return tagged_entries(content, variant, entries) && node_variant(variant, entries, out);
    }

    // The struct of node variant `variant` from a whole object or array.
    bool node_variant(std::size_t variant, Content& content, Node& out) {
        Entries entries;
        if (!entries_of(content, *node_shapes[variant < 4 ? variant : 3], entries)) return false;
        return node_variant(variant, entries, out);
    }

private:
    [[gnu::always_inline]] bool node_variant(std::size_t variant, const Entries& entries, Node& out) {
        switch (variant) {
            case 0: return compound(entries, out.value.emplace<Compound>());
            case 1: return ratio_mixture(entries, out.value.emplace<RatioMixture>());
            case 2: return solution(entries, out.value.emplace<Solution>());
            default: return blend(entries, out.value.emplace<Blend>());
        }
    }

    // The variant that a whole node's tag names, and the entries of its
    // struct: the other pairs, or the elements after the tag.
    [[gnu::noinline]] bool tagged_entries(Content& content, std::size_t& variant, Entries& entries) {
        if (auto* object = content.get_if<Content::Object>()) {
            for (std::size_t i = 0; i < object->size(); ++i) {
                ContentPair& pair = (*object)[i];
                const Content::Text* text = name_text(pair.key);
                if (text == nullptr || text->view() != "node_type") continue;
                if (variant != no_field) return fail_duplicate_field("node_type");
                if (!identifier(pair.value, node_names, variant)) return false;
                entries.skipped_pair = i;
            }
            if (variant == no_field) return fail_missing_field("node_type");
            entries.pairs = *object;
            return true;
        }
        if (auto* array = content.get_if<Content::Array>()) {
            if (array->empty()) return fail_missing_field("node_type");
            if (!identifier(array->front(), node_names, variant)) return false;
            entries.elements = std::span<Content>(*array).subspan(1);
            entries.is_array = true;
            return true;
        }
        return fail_invalid_type(content, "internally tagged enum Node");
    }

    // The entries of a struct given as an object or an array.
    bool entries_of(Content& content, const Shape& shape, Entries& out) {
        if (auto* object = content.get_if<Content::Object>()) {
            out.pairs = *object;
            return true;
        }
        if (auto* array = content.get_if<Content::Array>()) {
            out.elements = *array;
            out.is_array = true;
            return true;
        }
        return fail_invalid_type(content, shape.description);
    }

    // Steps to the next field that the entries give, in their order, with
    // the checks of the struct's shape on the way. False at the end, once
    // the fields left out have been checked, and at the first error.
    [[gnu::noinline]] bool next_field(FieldWalk& walk) {
        const Entries& entries = walk.entries;
        const Names fields = walk.shape.fields;
        if (entries.is_array) {
            const std::size_t f = walk.next;
            const std::size_t count = entries.elements.size();
            if (f < fields.size()) {
                if (f == count) return fail_short_array(count, walk.shape);
                walk.next = f + 1;
                walk.field = f;
                walk.value = &entries.elements[f];
                return true;
            }
            if (count > fields.size()) fail_long_array(count, fields.size());
            return false;
        }
        while (walk.next < entries.pairs.size()) {
            const std::size_t i = walk.next++;
            if (i == entries.skipped_pair) continue;
            ContentPair& pair = entries.pairs[i];
            std::size_t field = no_field;
            if (!field_of(pair.key, fields, field)) return false;
            if (field == no_field) continue;
            const unsigned bit = 1u << field;
            if ((walk.seen & bit) != 0) return fail_duplicate_field(fields[field]);
            walk.seen |= bit;
            walk.field = field;
            walk.value = &pair.value;
            return true;
        }
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if ((walk.seen & (1u << f)) != 0) continue;
            if (walk.shape.last_field_optional && f + 1 == fields.size()) break;
            return fail_missing_field(fields[f]);
        }
        return false;
    }

    // The field a struct key designates, no_field for a key to skip.
    bool field_of(const Content& key, Names fields, std::size_t& out) {
        if (const Content::Text* text = name_text(key)) {
            out = index_of(fields, text->view());
            return true;
        }
        if (const auto index = position_index(key)) {
            out = *index < fields.size() ? static_cast<std::size_t>(*index) : no_field;
            return true;
        }
        return fail_invalid_type(key, "field identifier");
    }

    // A tag value, or the key of a one-pair enumeration object: a name, or
    // the index of one.
    bool identifier(const Content& c, Names names, std::size_t& out) {
        if (const Content::Text* text = name_text(c)) {
            out = index_of(names, text->view());
            return out != no_field || fail_unknown_variant(c, *text, names);
        }
        if (const auto index = position_index(c)) {
            out = static_cast<std::size_t>(*index);
            return *index < names.size() || fail_variant_index(c, names);
        }
        return fail_invalid_type(c, "variant identifier");
    }

    [[gnu::noinline]] bool number(const Content& c, double& out) {
        using Kind = Content::Kind;
        switch (c.kind()) {
            case Kind::U8: out = static_cast<double>(*c.get_if<std::uint8_t>()); return true;
            case Kind::U16: out = static_cast<double>(*c.get_if<std::uint16_t>()); return true;
            case Kind::U32: out = static_cast<double>(*c.get_if<std::uint32_t>()); return true;
            case Kind::U64: out = static_cast<double>(*c.get_if<std::uint64_t>()); return true;
            case Kind::I8: out = static_cast<double>(*c.get_if<std::int8_t>()); return true;
            case Kind::I16: out = static_cast<double>(*c.get_if<std::int16_t>()); return true;
            case Kind::I32: out = static_cast<double>(*c.get_if<std::int32_t>()); return true;
            case Kind::I64: out = static_cast<double>(*c.get_if<std::int64_t>()); return true;
            case Kind::F32: out = static_cast<double>(*c.get_if<float>()); return true;
            case Kind::F64: out = *c.get_if<double>(); return true;
            default: return fail_invalid_type(c, "f64");
        }
    }

    [[gnu::noinline]] bool text(Content& c, std::string& out) {
        if (auto* s = c.get_if<Content::String>()) {
            out = std::move(s->text).take();
            return true;
        }
        if (auto* b = c.get_if<Content::Bytes>()) {
            if (!is_valid_utf8(b->bytes.view())) return fail("invalid value: byte array, expected a string");
            out = std::move(b->bytes).take();
            return true;
        }
        return fail_invalid_type(c, "a string");
    }

    template <class Enum>
    bool enumeration(const Content& c, Names names, Enum& out) {
        std::size_t index = 0;
        if (!enumeration_index(c, names, index)) return false;
        out = static_cast<Enum>(index);
        return true;
    }

    [[gnu::noinline]] bool enumeration_index(const Content& c, Names names, std::size_t& out) {
        if (c.is<Content::String>()) return identifier(c, names, out);
        if (const auto* object = c.get_if<Content::Object>()) {
            if (object->size() != 1) return fail("invalid value: map, expected map with a single key");
            if (!identifier(object->front().key, names, out)) return false;
            const Content& value = object->front().value;
            const auto* inner = value.get_if<Content::Object>();
            if (!value.is<Content::Null>() && !(inner != nullptr && inner->empty())) {
                return fail_invalid_type(value, "unit");
            }
            return true;
        }
        return fail_invalid_type(c, "string or map");
    }

    // A list whose elements `read` fills.
    template <class T, bool (Replay::*read)(Content&, T&)>
    bool list(Content& c, std::vector<T>& out) {
        auto* array = c.get_if<Content::Array>();
        if (array == nullptr) return fail_invalid_type(c, "a sequence");
        out.reserve(cautious_capacity<T>(array->size()));
        for (Content& element : *array) {
            if (!(this->*read)(element, out.emplace_back())) return false;
        }
        return true;
    }

    // Reads a struct's fields from its entries, each by `read_field`.
    template <class T, bool (Replay::*read_field)(std::size_t, Content&, T&)>
    bool fields(const Shape& shape, const Entries& entries, T& out) {
        FieldWalk walk(shape, entries);
        while (next_field(walk)) {
            if (!(this->*read_field)(walk.field, *walk.value, out)) return false;
        }
        return !failed_;
    }
    // The same from a whole object or array.
    template <class T, bool (Replay::*read_field)(std::size_t, Content&, T&)>
    bool struct_from(const Shape& shape, Content& c, T& out) {
        Entries entries;
        return entries_of(c, shape, entries) && fields<T, read_field>(shape, entries, out);
    }

    bool amount_field(std::size_t field, Content& value, Amount& out) {
        return field == 0 ? number(value, out.value) : enumeration(value, unit_names, out.unit);
    }
    [[gnu::noinline]] bool amount(Content& c, Amount& out) {
        return struct_from<Amount, &Replay::amount_field>(amount_shape, c, out);
    }

    bool compound_field(std::size_t field, Content& value, Compound& out) {
        return field == 0 ? text(value, out.name) : enumeration(value, kind_names, out.kind);
    }
    [[gnu::noinline]] bool compound(const Entries& entries, Compound& out) {
        return fields<Compound, &Replay::compound_field>(compound_shape, entries, out);
    }

    bool ratio_term_field(std::size_t field, Content& value, RatioTerm& out) {
        if (field == 0) return struct_from<Compound, &Replay::compound_field>(compound_shape, value, out.compound);
        return number(value, out.share);
    }
    bool ratio_term(Content& c, RatioTerm& out) {
        return struct_from<RatioTerm, &Replay::ratio_term_field>(ratio_term_shape, c, out);
    }

    bool ratio_mixture_field(std::size_t field, Content& value, RatioMixture& out) {
        if (field == 0) return list<RatioTerm, &Replay::ratio_term>(value, out.terms);
        return enumeration(value, basis_names, out.basis);
    }
    [[gnu::noinline]] bool ratio_mixture(const Entries& entries, RatioMixture& out) {
        return fields<RatioMixture, &Replay::ratio_mixture_field>(ratio_mixture_shape, entries, out);
    }

    bool boxed_node(Content& c, std::unique_ptr<Node>& out) {
        out = std::make_unique<Node>();
        return node(c, *out);
    }

    bool solution_field(std::size_t field, Content& value, Solution& out) {
        switch (field) {
            case 0: return boxed_node(value, out.solute);
            case 1: return boxed_node(value, out.solvent);
            default: return amount(value, out.solute_amount);
        }
    }
    [[gnu::noinline]] bool solution(const Entries& entries, Solution& out) {
        return fields<Solution, &Replay::solution_field>(solution_shape, entries, out);
    }

    // An absent amount is null or None; a present one may come as Some.
    [[gnu::noinline]] bool optional_amount(Content& c, std::optional<Amount>& out) {
        if (c.is<Content::Null>() || c.is<Content::None>()) {
            out.reset();
            return true;
        }
        auto* some = c.get_if<Content::Some>();
        return amount(some != nullptr ? *some->value : c, out.emplace());
    }

    bool blend_term_field(std::size_t field, Content& value, BlendTerm& out) {
        return field == 0 ? node(value, out.node) : optional_amount(value, out.amount);
    }
    [[gnu::noinline]] bool blend_term(Content& c, BlendTerm& out) {
        return struct_from<BlendTerm, &Replay::blend_term_field>(blend_term_shape, c, out);
    }

    bool blend_field(std::size_t, Content& value, Blend& out) {
        return list<BlendTerm, &Replay::blend_term>(value, out.terms);
    }
    [[gnu::noinline]] bool blend(const Entries& entries, Blend& out) {
        return fields<Blend, &Replay::blend_field>(blend_shape, entries, out);
    }

    // The messages, built away from the recursive path. Each keeps the
    // first error and answers false.
    [[gnu::cold, gnu::noinline]] bool fail(std::string_view message) {
        return keep(std::string(message));
    }
    [[gnu::cold, gnu::noinline]] bool fail_missing_field(std::string_view field) {
        return keep(missing_field_message(field));
    }
    [[gnu::cold, gnu::noinline]] bool fail_duplicate_field(std::string_view field) {
        return keep(duplicate_field_message(field));
    }
    [[gnu::cold, gnu::noinline]] bool fail_invalid_type(const Content& found, std::string_view expected) {
        return keep(invalid_type_message(found, expected, style_));
    }
    [[gnu::cold, gnu::noinline]] bool fail_unknown_variant(const Content& c, const Content::Text& text, Names names) {
        std::string out = "unknown variant `";
        if (c.is<Content::Bytes>()) {
            append_utf8_lossy(out, text.view());
        } else {
            out += text.view();
        }
        out += "`, expected ";
        out += expected_names(names);
        return keep(std::move(out));
    }
    [[gnu::cold, gnu::noinline]] bool fail_variant_index(const Content& c, Names names) {
        return keep("invalid value: " + describe_content(c, style_) + ", expected variant index 0 <= i < " +
                    count_text(names.size()));
    }
    [[gnu::cold, gnu::noinline]] bool fail_short_array(std::size_t count, const Shape& shape) {
        return keep("invalid length " + count_text(count) + ", expected " + std::string(shape.array_form));
    }
    [[gnu::cold, gnu::noinline]] bool fail_long_array(std::size_t count, std::size_t field_count) {
        return keep("invalid length " + count_text(count) + ", expected " +
                    (field_count == 1 ? std::string("1 element in sequence")
                                      : count_text(field_count) + " elements in sequence"));
    }
    bool keep(std::string message) {
        error_ = std::move(message);
        failed_ = true;
        return false;
    }

    ValueStyle style_;
    const StackBounds stack_ = stack_bounds();
    bool failed_ = false;
    std::string error_;
};

}  // namespace

// The tree is filled where it is returned from: a Node moved out would
// leave a shell to be taken apart.
std::expected<Node, ReadError> replay_node_variant(std::size_t variant, Content&& entries, ValueStyle style) {
    std::expected<Node, ReadError> tree;
    Replay replay(style);
    replay.node_variant(variant, entries, *tree);
    replay.finish(tree);
    return tree;
}

std::expected<Node, ReadError> replay_node(Content&& content, ValueStyle style) {
    std::expected<Node, ReadError> tree;
    Replay replay(style);
    replay.node(content, *tree);
    replay.finish(tree);
    return tree;
}

}  // namespace kelmora
