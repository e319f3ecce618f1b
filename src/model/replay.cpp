// The tree replay: typed tree values from buffered values, with the reading
// messages of every shape error. Depth first, in the order of the buffered
// value; the first error ends it.
#include <array>
#include <span>

#include "debug_text.hpp"
#include "kelmora/content.hpp"

namespace kelmora {

namespace {

template <class T>
using Result = std::expected<T, std::string>;
using Status = Result<void>;
using Fail = std::unexpected<std::string>;

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
    std::span<ContentPair> pairs;   // the object form
    std::size_t skipped_pair = no_field;  // the tag pair, already read
    std::span<Content> elements;    // the array form
    bool is_array = false;
};

// Each reading fills the value it is given, so nothing is moved on the way
// up; on failure the partly filled value is dropped by the caller.
class Replay {
public:
    explicit Replay(ValueStyle style) : style_(style) {}

    Status node(Content&& content, Node& out) {
        if (auto* object = content.get_if<Content::Object>()) {
            std::optional<std::size_t> variant;
            std::size_t tag_pair = no_field;
            for (std::size_t i = 0; i < object->size(); ++i) {
                const Content& key = (*object)[i].key;
                const Content::Text* text = name_text(key);
                if (text == nullptr || text->view() != "node_type") continue;
                if (variant) return Fail(duplicate_field_message("node_type"));
                auto index = identifier((*object)[i].value, node_names);
                if (!index) return Fail(std::move(index.error()));
                variant = *index;
                tag_pair = i;
            }
            if (!variant) return Fail(missing_field_message("node_type"));
            return node_variant(*variant, Entries{*object, tag_pair, {}, false}, out);
        }
        if (auto* array = content.get_if<Content::Array>()) {
            if (array->empty()) return Fail(missing_field_message("node_type"));
            auto index = identifier(array->front(), node_names);
            if (!index) return Fail(std::move(index.error()));
            return node_variant(*index, Entries{{}, no_field, std::span<Content>(*array).subspan(1), true}, out);
        }
        return Fail(invalid_type_message(content, "internally tagged enum Node", style_));
    }

    Status node_variant(std::size_t variant, Entries entries, Node& out) {
        switch (variant) {
            case 0: return compound(entries, out.value.emplace<Compound>());
            case 1: return ratio_mixture(entries, out.value.emplace<RatioMixture>());
            case 2: return solution(entries, out.value.emplace<Solution>());
            default: return blend(entries, out.value.emplace<Blend>());
        }
    }

    Status node_variant(std::size_t variant, Content&& content, Node& out) {
        auto entries = entries_of(content);
        if (!entries) {
            static constexpr std::array<const Shape*, 4> shapes = {&compound_shape, &ratio_mixture_shape,
                                                                   &solution_shape, &blend_shape};
            return Fail(invalid_type_message(content, shapes[variant < 4 ? variant : 3]->description, style_));
        }
        return node_variant(variant, *entries, out);
    }

private:
    static std::optional<Entries> entries_of(Content& content) {
        if (auto* object = content.get_if<Content::Object>()) return Entries{*object, no_field, {}, false};
        if (auto* array = content.get_if<Content::Array>()) return Entries{{}, no_field, *array, true};
        return std::nullopt;
    }

    // A tag value, or the key of a one-pair enumeration object: a name, or
    // the index of one.
    Result<std::size_t> identifier(const Content& c, Names names) const {
        if (const Content::Text* text = name_text(c)) {
            const std::size_t index = index_of(names, text->view());
            if (index != no_field) return index;
            std::string out = "unknown variant `";
            if (c.is<Content::Bytes>()) {
                append_utf8_lossy(out, text->view());
            } else {
                out += text->view();
            }
            out += "`, expected ";
            out += expected_names(names);
            return Fail(std::move(out));
        }
        if (const auto index = position_index(c)) {
            if (*index < names.size()) return static_cast<std::size_t>(*index);
            return Fail("invalid value: " + describe_content(c, style_) + ", expected variant index 0 <= i < " +
                        count_text(names.size()));
        }
        return Fail(invalid_type_message(c, "variant identifier", style_));
    }

    // The field a struct key designates, no_field for a key to skip.
    Result<std::size_t> field_of(const Content& key, Names fields) const {
        if (const Content::Text* text = name_text(key)) return index_of(fields, text->view());
        if (const auto index = position_index(key)) {
            return *index < fields.size() ? static_cast<std::size_t>(*index) : no_field;
        }
        return Fail(invalid_type_message(key, "field identifier", style_));
    }

    // Fills a struct's fields from its entries; `fill(field, value)` reads one
    // field's value by its rule.
    template <class Fill>
    Status fill_struct(const Shape& shape, Entries entries, Fill&& fill) {
        const std::size_t field_count = shape.fields.size();
        if (entries.is_array) {
            const std::size_t count = entries.elements.size();
            for (std::size_t f = 0; f < field_count; ++f) {
                if (f == count) return Fail("invalid length " + count_text(count) + ", expected " +
                                            std::string(shape.array_form));
                if (auto r = fill(f, std::move(entries.elements[f])); !r) return r;
            }
            if (count > field_count) {
                return Fail("invalid length " + count_text(count) + ", expected " +
                            (field_count == 1 ? std::string("1 element in sequence")
                                              : count_text(field_count) + " elements in sequence"));
            }
            return {};
        }
        unsigned set = 0;
        for (std::size_t i = 0; i < entries.pairs.size(); ++i) {
            if (i == entries.skipped_pair) continue;
            ContentPair& pair = entries.pairs[i];
            auto field = field_of(pair.key, shape.fields);
            if (!field) return Fail(std::move(field.error()));
            if (*field == no_field) continue;
            const unsigned bit = 1u << *field;
            if ((set & bit) != 0) return Fail(duplicate_field_message(shape.fields[*field]));
            set |= bit;
            if (auto r = fill(*field, std::move(pair.value)); !r) return r;
        }
        for (std::size_t f = 0; f < field_count; ++f) {
            if ((set & (1u << f)) != 0) continue;
            if (shape.last_field_optional && f + 1 == field_count) break;
            return Fail(missing_field_message(shape.fields[f]));
        }
        return {};
    }

    // A struct from any buffered value: its object or array form.
    template <class T, class Read>
    Status struct_from(const Shape& shape, Content&& content, T& out, Read&& read) {
        auto entries = entries_of(content);
        if (!entries) return Fail(invalid_type_message(content, shape.description, style_));
        return read(*entries, out);
    }

    Status number(Content&& c, double& out) const {
        using Kind = Content::Kind;
        switch (c.kind()) {
            case Kind::U8: out = static_cast<double>(*c.get_if<std::uint8_t>()); break;
            case Kind::U16: out = static_cast<double>(*c.get_if<std::uint16_t>()); break;
            case Kind::U32: out = static_cast<double>(*c.get_if<std::uint32_t>()); break;
            case Kind::U64: out = static_cast<double>(*c.get_if<std::uint64_t>()); break;
            case Kind::I8: out = static_cast<double>(*c.get_if<std::int8_t>()); break;
            case Kind::I16: out = static_cast<double>(*c.get_if<std::int16_t>()); break;
            case Kind::I32: out = static_cast<double>(*c.get_if<std::int32_t>()); break;
            case Kind::I64: out = static_cast<double>(*c.get_if<std::int64_t>()); break;
            case Kind::F32: out = static_cast<double>(*c.get_if<float>()); break;
            case Kind::F64: out = *c.get_if<double>(); break;
            default: return Fail(invalid_type_message(c, "f64", style_));
        }
        return {};
    }

    Status text(Content&& c, std::string& out) const {
        if (auto* s = c.get_if<Content::String>()) {
            out = std::move(s->text).take();
            return {};
        }
        if (auto* b = c.get_if<Content::Bytes>()) {
            if (!is_valid_utf8(b->bytes.view())) return Fail("invalid value: byte array, expected a string");
            out = std::move(b->bytes).take();
            return {};
        }
        return Fail(invalid_type_message(c, "a string", style_));
    }

    template <class Enum>
    Status enumeration(Content&& c, Names names, Enum& out) const {
        auto index = enumeration_index(std::move(c), names);
        if (!index) return Fail(std::move(index.error()));
        out = static_cast<Enum>(*index);
        return {};
    }

    Result<std::size_t> enumeration_index(Content&& c, Names names) const {
        if (c.is<Content::String>()) return identifier(c, names);
        if (auto* object = c.get_if<Content::Object>()) {
            if (object->size() != 1) return Fail("invalid value: map, expected map with a single key");
            auto index = identifier(object->front().key, names);
            if (!index) return index;
            const Content& value = object->front().value;
            const auto* inner = value.get_if<Content::Object>();
            if (!value.is<Content::Null>() && !(inner != nullptr && inner->empty())) {
                return Fail(invalid_type_message(value, "unit", style_));
            }
            return index;
        }
        return Fail(invalid_type_message(c, "string or map", style_));
    }

    template <class T, class Read>
    Status list(Content&& c, std::vector<T>& out, Read&& read) {
        auto* array = c.get_if<Content::Array>();
        if (array == nullptr) return Fail(invalid_type_message(c, "a sequence", style_));
        out.reserve(cautious_capacity<T>(array->size()));
        for (Content& element : *array) {
            if (auto r = read(std::move(element), out.emplace_back()); !r) return r;
        }
        return {};
    }

    Status boxed_node(Content&& c, std::unique_ptr<Node>& out) {
        out = std::make_unique<Node>();
        return node(std::move(c), *out);
    }

    Status amount(Entries entries, Amount& out) {
        return fill_struct(amount_shape, entries, [&](std::size_t field, Content&& value) -> Status {
            if (field == 0) return number(std::move(value), out.value);
            return enumeration(std::move(value), unit_names, out.unit);
        });
    }
    Status amount(Content&& c, Amount& out) {
        return struct_from(amount_shape, std::move(c), out, [&](Entries e, Amount& a) { return amount(e, a); });
    }

    Status compound(Entries entries, Compound& out) {
        return fill_struct(compound_shape, entries, [&](std::size_t field, Content&& value) -> Status {
            if (field == 0) return text(std::move(value), out.name);
            return enumeration(std::move(value), kind_names, out.kind);
        });
    }
    Status compound(Content&& c, Compound& out) {
        return struct_from(compound_shape, std::move(c), out, [&](Entries e, Compound& o) { return compound(e, o); });
    }

    Status ratio_term(Entries entries, RatioTerm& out) {
        return fill_struct(ratio_term_shape, entries, [&](std::size_t field, Content&& value) -> Status {
            if (field == 0) return compound(std::move(value), out.compound);
            return number(std::move(value), out.share);
        });
    }
    Status ratio_term(Content&& c, RatioTerm& out) {
        return struct_from(ratio_term_shape, std::move(c), out,
                           [&](Entries e, RatioTerm& o) { return ratio_term(e, o); });
    }

    Status ratio_mixture(Entries entries, RatioMixture& out) {
        return fill_struct(ratio_mixture_shape, entries, [&](std::size_t field, Content&& value) -> Status {
            if (field == 0) {
                return list(std::move(value), out.terms,
                            [&](Content&& e, RatioTerm& term) { return ratio_term(std::move(e), term); });
            }
            return enumeration(std::move(value), basis_names, out.basis);
        });
    }

    Status solution(Entries entries, Solution& out) {
        return fill_struct(solution_shape, entries, [&](std::size_t field, Content&& value) -> Status {
            switch (field) {
                case 0: return boxed_node(std::move(value), out.solute);
                case 1: return boxed_node(std::move(value), out.solvent);
                default: return amount(std::move(value), out.solute_amount);
            }
        });
    }

    Status blend_term(Entries entries, BlendTerm& out) {
        return fill_struct(blend_term_shape, entries, [&](std::size_t field, Content&& value) -> Status {
            if (field == 0) return node(std::move(value), out.node);
            if (value.is<Content::Null>() || value.is<Content::None>()) {
                out.amount.reset();
                return {};
            }
            Content inner = std::move(value);
            if (auto* some = inner.get_if<Content::Some>()) {
                Content unwrapped = std::move(*some->value);
                inner = std::move(unwrapped);
            }
            return amount(std::move(inner), out.amount.emplace());
        });
    }
    Status blend_term(Content&& c, BlendTerm& out) {
        return struct_from(blend_term_shape, std::move(c), out,
                           [&](Entries e, BlendTerm& o) { return blend_term(e, o); });
    }

    Status blend(Entries entries, Blend& out) {
        return fill_struct(blend_shape, entries, [&](std::size_t, Content&& value) -> Status {
            return list(std::move(value), out.terms,
                        [&](Content&& e, BlendTerm& term) { return blend_term(std::move(e), term); });
        });
    }

    ValueStyle style_;
};

std::expected<Node, ReadError> to_read_result(Status&& status, Node&& tree) {
    if (!status) return std::unexpected(ReadError{std::move(status.error()), 0, 0});
    return std::move(tree);
}

}  // namespace

std::expected<Node, ReadError> replay_node_variant(std::size_t variant, Content&& entries, ValueStyle style) {
    Node tree;
    auto status = Replay(style).node_variant(variant, std::move(entries), tree);
    return to_read_result(std::move(status), std::move(tree));
}

std::expected<Node, ReadError> replay_node(Content&& content, ValueStyle style) {
    Node tree;
    auto status = Replay(style).node(std::move(content), tree);
    return to_read_result(std::move(status), std::move(tree));
}

}  // namespace kelmora
