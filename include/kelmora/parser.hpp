// Shorthand notation: the grammar and the building of a checked tree.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "kelmora/errors.hpp"
#include "kelmora/model.hpp"
#include "kelmora/positional_error.hpp"
#include "kelmora/registry.hpp"

namespace kelmora {

// One matched rule: its identifier, its span (byte offsets into the caller's
// text) and its inner pairs in text order.
struct Pair {
    Rule rule;
    std::size_t start = 0;
    std::size_t end = 0;
    std::vector<Pair> inner;

    std::string_view text(std::string_view input) const noexcept { return input.substr(start, end - start); }
};

struct KelmoraParser {
    // Matches `rule` at position 0; `formulation` must match the whole text.
    static std::expected<std::vector<Pair>, PositionalError> parse(Rule rule, std::string_view text);
};

struct ParseOutcome {
    Node tree;
    std::vector<std::string> warnings;
};

std::expected<ParseOutcome, Error> parse_and_validate(std::string_view text);
std::expected<ParseOutcome, Error> parse_and_validate_with_registry(std::string_view text,
                                                                    const CompoundRegistry& registry);

}  // namespace kelmora
