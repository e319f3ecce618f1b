// Suggestions of similar names for mistyped subcommands and flags.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora::cli {

// Jaro similarity of two texts, compared character by character: 1 for two
// empty texts, 0 when only one is empty.
double jaro(std::string_view a, std::string_view b);

// The candidates whose similarity to `typed` is above 0.7, least similar
// first (equal scores keep the candidates' order).
std::vector<std::string> similar_names(std::string_view typed, std::span<const std::string_view> candidates);

}  // namespace kelmora::cli
