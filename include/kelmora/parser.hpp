// Shorthand notation: the grammar and the building of a checked tree.
#pragma once

#include <cstddef>
#include <expected>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "kelmora/errors.hpp"
#include "kelmora/model.hpp"
#include "kelmora/positional_error.hpp"
#include "kelmora/registry.hpp"

namespace kelmora {

// One matched rule in the flat, pre-order list of a parse: its identifier,
// its span (byte offsets into the caller's text) and how many entries its
// subtree takes, itself included. Its inner pairs follow it directly, so a
// parse costs one array however many pairs it makes.
struct PairToken {
    Rule rule = Rule::EOI;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t size = 1;
};

class PairList;

// A view of one pair; valid while the parse result and the caller's text are.
class Pair {
public:
    Pair(const PairToken* token, std::string_view input) noexcept : token_(token), input_(input) {}

    Rule rule() const noexcept { return token_->rule; }
    std::size_t start() const noexcept { return token_->start; }
    std::size_t end() const noexcept { return token_->end; }
    std::string_view text() const noexcept { return input_.substr(token_->start, token_->end - token_->start); }
    // The inner pairs, in text order.
    PairList inner() const noexcept;

private:
    const PairToken* token_;
    std::string_view input_;
};

// A run of sibling pairs, in text order.
class PairList {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Pair;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Pair;

        iterator() noexcept = default;
        iterator(const PairToken* token, std::string_view input) noexcept : token_(token), input_(input) {}
        Pair operator*() const noexcept { return Pair(token_, input_); }
        iterator& operator++() noexcept {
            token_ += token_->size;
            return *this;
        }
        iterator operator++(int) noexcept {
            iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const iterator& a, const iterator& b) noexcept { return a.token_ == b.token_; }

    private:
        const PairToken* token_ = nullptr;
        std::string_view input_;
    };

    PairList() noexcept = default;
    PairList(const PairToken* first, const PairToken* last, std::string_view input) noexcept
        : first_(first), last_(last), input_(input) {}

    iterator begin() const noexcept { return iterator(first_, input_); }
    iterator end() const noexcept { return iterator(last_, input_); }
    bool empty() const noexcept { return first_ == last_; }
    // Counts by walking the siblings.
    std::size_t size() const noexcept;

private:
    const PairToken* first_ = nullptr;
    const PairToken* last_ = nullptr;
    std::string_view input_;
};

inline PairList Pair::inner() const noexcept { return PairList(token_ + 1, token_ + token_->size, input_); }

inline std::size_t PairList::size() const noexcept {
    std::size_t count = 0;
    for (const PairToken* token = first_; token != last_; token += token->size) ++count;
    return count;
}

// What a successful parse gives: every pair, referring to the caller's text.
struct ParsePairs {
    std::vector<PairToken> tokens;
    std::string_view input;

    // The top-level pairs (started from `formulation`: exactly one).
    PairList pairs() const noexcept {
        return PairList(tokens.data(), tokens.data() + tokens.size(), input);
    }
};

// Brackets open at once beyond which a parse stops (the recursion would
// otherwise follow the input's depth down the stack).
inline constexpr std::size_t max_bracket_depth = 64;

struct KelmoraParser {
    // Matches `rule` at position 0; `formulation` must match the whole text.
    static std::expected<ParsePairs, PositionalError> parse(Rule rule, std::string_view text);
};

struct ParseOutcome {
    Node tree;
    std::vector<std::string> warnings;
};

std::expected<ParseOutcome, Error> parse_and_validate(std::string_view text);
std::expected<ParseOutcome, Error> parse_and_validate_with_registry(std::string_view text,
                                                                    const CompoundRegistry& registry);

}  // namespace kelmora
