// Descriptions of buffered values and the shared texts of reading errors.
#include "kelmora/content.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <type_traits>

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

std::string describe_content(const Content& content, ValueStyle style) {
    std::string out;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Content::Null>) {
                out = style == ValueStyle::Json ? "null" : "unit value";
            } else if constexpr (std::is_same_v<T, Content::None> || std::is_same_v<T, Content::Some>) {
                out = "Option value";
            } else if constexpr (std::is_same_v<T, bool>) {
                out = v ? "boolean `true`" : "boolean `false`";
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                out = "floating point `";
                append_float(out, static_cast<double>(v), style);
                out += '`';
            } else if constexpr (std::is_same_v<T, char32_t>) {
                out = "character `";
                append_utf8(out, v);
                out += '`';
            } else if constexpr (std::is_integral_v<T>) {
                out = "integer `";
                append_integer(out, v);
                out += '`';
            } else if constexpr (std::is_same_v<T, Content::String>) {
                out = "string ";
                append_debug_quoted(out, v.text.view());
            } else if constexpr (std::is_same_v<T, Content::Bytes>) {
                out = "byte array";
            } else if constexpr (std::is_same_v<T, Content::Newtype>) {
                out = "newtype struct";
            } else if constexpr (std::is_same_v<T, Content::Array>) {
                out = "sequence";
            } else {
                static_assert(std::is_same_v<T, Content::Object>);
                out = "map";
            }
        },
        content.value);
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
