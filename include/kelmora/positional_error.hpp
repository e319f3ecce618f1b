// The grammar's rule identifiers and its positional error (what a failed
// parse reports: where, and which rules were expected there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora {

// The twenty rules, in their fixed order: expected lists are sorted by it.
enum class Rule : std::uint8_t {
    EOI,
    WHITESPACE,
    ident_start,
    ident_char,
    keyword,
    paren_group,
    compound_name,
    number,
    ratio_basis,
    conc_unit,
    amount,
    name_list,
    share_list,
    ratio_mixture,
    compound,
    atom,
    bracketed,
    blend_term,
    blend,
    formulation,
};

inline constexpr std::size_t rule_count = 20;

// The identifier's name exactly as written above.
std::string_view rule_name(Rule rule) noexcept;

struct PositionalError {
    std::size_t position = 0;       // byte offset into the text
    std::size_t line = 1;           // counted from 1
    std::size_t column = 1;         // counted from 1, in characters
    std::string line_text;          // the line as displayed (line breaks made visible or removed)
    std::vector<Rule> expected;     // sorted by index, no duplicates
    // When not empty, shown in place of the "expected ..." message (the
    // bracket nesting limit uses this).
    std::string fixed_message;
};

// The six-line display text, lines joined by line feeds, none at the end.
std::string positional_error_text(const PositionalError& error);

}  // namespace kelmora
