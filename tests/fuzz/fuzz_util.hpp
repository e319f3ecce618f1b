// Shared pieces of the fuzz targets.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <algorithm>

#include "kelmora/model.hpp"

namespace kelmora::fuzz {

// The front ends only ever pass valid UTF-8 (shortest forms, no surrogates).
inline bool is_valid_utf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) { ++p; continue; }
        std::size_t length;
        std::uint32_t code;
        if ((c & 0xE0) == 0xC0) { length = 2; code = c & 0x1Fu; }
        else if ((c & 0xF0) == 0xE0) { length = 3; code = c & 0x0Fu; }
        else if ((c & 0xF8) == 0xF0) { length = 4; code = c & 0x07u; }
        else return false;
        if (static_cast<std::size_t>(end - p) < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3Fu);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        p += length;
    }
    return true;
}

inline bool all_numbers_finite(const Node& node);

// A name made of a number and a molar or molal unit ("1M", "2molal",
// "1M(X)") reads as an amount where a term begins, so the notation has no
// text that reads back as such a name standing first in a term (after an
// amount it reads back fine). Trees holding one are left out of the
// round-trip property.
inline bool name_reads_as_amount(std::string_view name) {
    std::size_t digits = 0;
    while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') ++digits;
    if (digits == 0) return false;
    std::string_view rest = name.substr(digits);
    for (std::string_view unit : {"molar", "molal", "M", "m"}) {
        if (rest.starts_with(unit)) {
            std::string_view after = rest.substr(unit.size());
            return after.empty() || after.front() == '(';
        }
    }
    return false;
}

inline bool any_name_reads_as_amount(const Node& node) {
    if (const auto* compound = node.get_if<Compound>()) return name_reads_as_amount(compound->name);
    if (const auto* mixture = node.get_if<RatioMixture>()) {
        for (const auto& term : mixture->terms)
            if (name_reads_as_amount(term.compound.name)) return true;
        return false;
    }
    if (const auto* solution = node.get_if<Solution>())
        return any_name_reads_as_amount(*solution->solute) || any_name_reads_as_amount(*solution->solvent);
    for (const auto& term : node.get_if<Blend>()->terms)
        if (any_name_reads_as_amount(term.node)) return true;
    return false;
}

inline bool amount_finite(const Amount& amount) { return std::isfinite(amount.value); }

inline bool all_numbers_finite(const Node& node) {
    if (const auto* mixture = node.get_if<RatioMixture>()) {
        for (const auto& term : mixture->terms)
            if (!std::isfinite(term.share)) return false;
        return true;
    }
    if (const auto* solution = node.get_if<Solution>()) {
        return amount_finite(solution->solute_amount) && all_numbers_finite(*solution->solute) &&
               all_numbers_finite(*solution->solvent);
    }
    if (const auto* blend = node.get_if<Blend>()) {
        for (const auto& term : blend->terms) {
            if (term.amount && !amount_finite(*term.amount)) return false;
            if (!all_numbers_finite(term.node)) return false;
        }
    }
    return true;
}

// Nesting of the tree's JSON text: every object and array counts one level.
inline std::size_t json_depth(const Node& node) {
    if (node.is<Compound>()) return 1;
    if (node.is<RatioMixture>()) return 4;  // node, terms, term, compound
    if (const auto* solution = node.get_if<Solution>()) {
        std::size_t inner = std::max(json_depth(*solution->solute), json_depth(*solution->solvent));
        return 1 + std::max<std::size_t>(inner, 1);
    }
    std::size_t deepest = 0;
    for (const auto& term : node.get_if<Blend>()->terms)
        deepest = std::max(deepest, std::max<std::size_t>(json_depth(term.node), term.amount ? 1 : 0));
    return deepest == 0 ? 2 : 3 + deepest;  // node, terms, term, then the term's contents
}

[[noreturn]] inline void property_failed(const char* what, std::string_view a, std::string_view b) {
    std::fprintf(stderr, "property failed: %s\n--- first\n%.*s\n--- second\n%.*s\n", what,
                 static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()), b.data());
    std::abort();
}

}  // namespace kelmora::fuzz
