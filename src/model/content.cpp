// Descriptions of buffered values and the shared texts of reading errors.
#include "kelmora/content.hpp"

#include <array>
#include <charconv>
#include <cmath>

#include "debug_text.hpp"
#include "kelmora/errors.hpp"
#include "kelmora/json.hpp"

namespace kelmora {

namespace {

constexpr std::array<std::string_view, 4> node_tags = {"compound", "ratio_mixture", "solution", "blend"};

template <class Integer>
void append_integer(std::string& out, Integer value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void append_float(std::string& out, double value, ValueStyle style) {
    if (style == ValueStyle::Json) {
        append_json_number(out, value);
        return;
    }
    const std::size_t start = out.size();
    append_number_text(out, value);
    if (std::isfinite(value) && out.find('.', start) == std::string::npos) out += ".0";
}

}  // namespace

void Content::destroy_owned() noexcept {
    switch (kind_) {
        case Kind::Some: some_.~Some(); break;
        case Kind::String: string_.~String(); break;
        case Kind::Bytes: bytes_.~Bytes(); break;
        case Kind::Newtype: newtype_.~Newtype(); break;
        case Kind::Array: array_.~Array(); break;
        case Kind::Object: object_.~Object(); break;
        default: break;
    }
}

std::string describe_content(const Content& content, ValueStyle style) {
    using Kind = Content::Kind;
    std::string out;
    const auto integer = [&out](auto value) {
        out = "integer `";
        append_integer(out, value);
        out += '`';
    };
    const auto floating = [&out, style](double value) {
        out = "floating point `";
        append_float(out, value, style);
        out += '`';
    };
    switch (content.kind()) {
        case Kind::Null: out = style == ValueStyle::Json ? "null" : "unit value"; break;
        case Kind::None:
        case Kind::Some: out = "Option value"; break;
        case Kind::Bool: out = *content.get_if<bool>() ? "boolean `true`" : "boolean `false`"; break;
        case Kind::U8: integer(*content.get_if<std::uint8_t>()); break;
        case Kind::U16: integer(*content.get_if<std::uint16_t>()); break;
        case Kind::U32: integer(*content.get_if<std::uint32_t>()); break;
        case Kind::U64: integer(*content.get_if<std::uint64_t>()); break;
        case Kind::I8: integer(*content.get_if<std::int8_t>()); break;
        case Kind::I16: integer(*content.get_if<std::int16_t>()); break;
        case Kind::I32: integer(*content.get_if<std::int32_t>()); break;
        case Kind::I64: integer(*content.get_if<std::int64_t>()); break;
        case Kind::F32: floating(static_cast<double>(*content.get_if<float>())); break;
        case Kind::F64: floating(*content.get_if<double>()); break;
        case Kind::Char:
            out = "character `";
            append_utf8(out, *content.get_if<char32_t>());
            out += '`';
            break;
        case Kind::String:
            out = "string ";
            append_debug_quoted(out, content.get_if<Content::String>()->text.view());
            break;
        case Kind::Bytes: out = "byte array"; break;
        case Kind::Newtype: out = "newtype struct"; break;
        case Kind::Array: out = "sequence"; break;
        case Kind::Object: out = "map"; break;
    }
    return out;
}

std::optional<std::size_t> node_variant_index(std::string_view tag) noexcept {
    for (std::size_t i = 0; i < node_tags.size(); ++i) {
        if (node_tags[i] == tag) return i;
    }
    return std::nullopt;
}

std::string unknown_node_variant_message(std::string_view tag) {
    std::string out = "unknown variant `";
    out += tag;
    out += "`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`";
    return out;
}

std::string missing_field_message(std::string_view field) {
    std::string out = "missing field `";
    out += field;
    out += '`';
    return out;
}

std::string duplicate_field_message(std::string_view field) {
    std::string out = "duplicate field `";
    out += field;
    out += '`';
    return out;
}

std::string invalid_type_message(const Content& found, std::string_view expected, ValueStyle style) {
    std::string out = "invalid type: ";
    out += describe_content(found, style);
    out += ", expected ";
    out += expected;
    return out;
}

}  // namespace kelmora
