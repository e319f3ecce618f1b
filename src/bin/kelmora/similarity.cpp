#include "similarity.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "utf8.hpp"

namespace kelmora::cli {

double jaro(std::string_view a_text, std::string_view b_text) {
    const std::vector<char32_t> a = code_points(a_text);
    const std::vector<char32_t> b = code_points(b_text);
    if (a.empty() && b.empty()) return 1.0;
    if (a.empty() || b.empty()) return 0.0;

    const std::size_t longer = std::max(a.size(), b.size());
    const std::size_t window = longer / 2 == 0 ? 0 : longer / 2 - 1;

    std::vector<bool> a_matched(a.size(), false);
    std::vector<bool> b_matched(b.size(), false);
    std::size_t matches = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::size_t from = i > window ? i - window : 0;
        const std::size_t to = std::min(b.size(), i + window + 1);
        for (std::size_t j = from; j < to; ++j) {
            if (!b_matched[j] && a[i] == b[j]) {
                a_matched[i] = true;
                b_matched[j] = true;
                ++matches;
                break;
            }
        }
    }
    if (matches == 0) return 0.0;

    // Matched characters of `a` and `b` paired in order; each pair that
    // differs is half a transposition.
    std::size_t half_transpositions = 0;
    std::size_t j = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!a_matched[i]) continue;
        while (!b_matched[j]) ++j;
        if (a[i] != b[j]) ++half_transpositions;
        ++j;
    }
    const std::size_t transpositions = half_transpositions / 2;

    const auto m = static_cast<double>(matches);
    return (m / static_cast<double>(a.size()) + m / static_cast<double>(b.size()) +
            static_cast<double>(matches - transpositions) / m) /
           3.0;
}

std::vector<std::string> similar_names(std::string_view typed, std::span<const std::string_view> candidates) {
    std::vector<std::pair<double, std::string_view>> scored;
    for (std::string_view candidate : candidates) {
        const double score = jaro(typed, candidate);
        if (score > 0.7) scored.emplace_back(score, candidate);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> names;
    names.reserve(scored.size());
    for (const auto& entry : scored) names.emplace_back(entry.second);
    return names;
}

}  // namespace kelmora::cli
