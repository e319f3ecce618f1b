// Rule names and the six-line display of a failed parse.
#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include "kelmora/positional_error.hpp"
#include "locate.hpp"

namespace kelmora {

namespace {

constexpr std::array<std::string_view, rule_count> rule_names = {
    "EOI",         "WHITESPACE", "ident_start",   "ident_char", "keyword",   "paren_group", "compound_name",
    "number",      "ratio_basis", "conc_unit",    "amount",     "name_list", "share_list",  "ratio_mixture",
    "compound",    "atom",       "bracketed",     "blend_term", "blend",     "formulation",
};

constexpr bool is_continuation_byte(char c) noexcept { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; }

std::size_t count_characters(std::string_view text) noexcept {
    std::size_t count = 0;
    for (char c : text)
        if (!is_continuation_byte(c)) ++count;
    return count;
}

void append_decimal(std::string& out, std::size_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// "expected a", "expected a or b", "expected a, b, or c".
void append_expected(std::string& out, const std::vector<Rule>& expected) {
    if (expected.empty()) {
        out += "unknown parsing error";
        return;
    }
    out += "expected ";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (i > 0) {
            if (expected.size() == 2) out += " or ";
            else if (i + 1 == expected.size()) out += ", or ";
            else out += ", ";
        }
        out += rule_name(expected[i]);
    }
}

}  // namespace

std::string_view rule_name(Rule rule) noexcept {
    const auto index = static_cast<std::size_t>(rule);
    return index < rule_names.size() ? rule_names[index] : std::string_view();
}

PositionalError positional_error_at(std::string_view text, std::size_t position) {
    PositionalError error;
    error.position = position;
    const std::string_view before = text.substr(0, position);

    // A carriage return and line feed together are one break: count the feeds.
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == '\n') {
            ++error.line;
            line_start = i + 1;
        }
    }
    error.column = 1 + count_characters(before.substr(line_start));

    const std::size_t feed = text.find('\n', position);
    const std::string_view line =
        text.substr(line_start, feed == std::string_view::npos ? std::string_view::npos : feed + 1 - line_start);
    const bool on_break = position < text.size() && (text[position] == '\n' || text[position] == '\r');
    error.line_text.reserve(line.size());
    for (char c : line) {
        if (c == '\n' || c == '\r') {
            if (on_break) error.line_text += c == '\n' ? "\u240A" : "\u240D";
        } else {
            error.line_text += c;
        }
    }
    return error;
}

std::string positional_error_text(const PositionalError& error) {
    std::string number;
    append_decimal(number, error.line);
    const std::string gutter(number.size(), ' ');

    std::string out;
    out.reserve(64 + 2 * error.line_text.size());
    out += gutter;
    out += "--> ";
    out += number;
    out += ':';
    append_decimal(out, error.column);
    out += '\n';

    out += gutter;
    out += " |\n";

    out += number;
    out += " | ";
    out += error.line_text;
    out += '\n';

    // Tabs stay tabs so the caret lines up under the same text.
    out += gutter;
    out += " | ";
    std::size_t remaining = error.column > 0 ? error.column - 1 : 0;
    for (std::size_t i = 0; i < error.line_text.size() && remaining > 0; ++i) {
        const char c = error.line_text[i];
        if (is_continuation_byte(c)) continue;
        out += c == '\t' ? '\t' : ' ';
        --remaining;
    }
    out += "^---\n";

    out += gutter;
    out += " |\n";

    out += gutter;
    out += " = ";
    if (!error.fixed_message.empty()) out += error.fixed_message;
    else append_expected(out, error.expected);
    return out;
}

}  // namespace kelmora
