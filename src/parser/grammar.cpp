// The shorthand grammar: a hand-written parsing-expression matcher of the
// twenty rules. Which rules are tried where decides the expected list of a
// failed parse, so every rule body is matched exactly as it reads, without
// shortcuts, alternatives in order.
#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "kelmora/parser.hpp"
#include "kelmora/stack_room.hpp"
#include "locate.hpp"
#include "pair_buffer.hpp"

namespace kelmora {

namespace {

constexpr std::size_t no_match = std::string_view::npos;

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_ident_char(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c);
}

// ---- Atomic bodies: no blanks skipped, no pairs, no failure record. Each
// takes a position and gives the end of its match or no_match.

std::size_t match_ident_char(std::string_view text, std::size_t at) noexcept {
    return at < text.size() && is_ident_char(text[at]) ? at + 1 : no_match;
}

std::size_t match_ident_chars(std::string_view text, std::size_t at) noexcept {
    while (at < text.size() && is_ident_char(text[at])) ++at;
    return at;
}

// Ordered choice of literals: the first that matches is taken.
template <std::size_t N>
std::size_t match_first_literal(std::string_view text, std::size_t at,
                                const std::array<std::string_view, N>& literals) noexcept {
    if (at >= text.size()) return no_match;
    const std::string_view rest = text.substr(at);
    // The first byte rules out most literals before a full comparison.
    for (std::string_view literal : literals)
        if (literal.front() == rest.front() && rest.starts_with(literal)) return at + literal.size();
    return no_match;
}

constexpr std::array<std::string_view, 22> keywords = {
    "in",    "weight%", "wt%",    "w%",   "mass%", "molar", "molal", "mole%", "mol%", "volume%", "vol%",
    "weight", "wt",     "mass",   "w",    "mole",  "mol",   "volume", "vol",  "v",    "M",       "m",
};

constexpr std::array<std::string_view, 9> basis_spellings = {
    "weight", "wt", "mass", "w", "mole", "mol", "volume", "vol", "v",
};

constexpr std::array<std::string_view, 12> unit_spellings = {
    "weight%", "wt%", "w%", "mass%", "molar", "molal", "mole%", "mol%", "volume%", "vol%", "M", "m",
};

// The bytes a keyword can start with; every name attempt asks, so most
// answer at once.
constexpr std::array<bool, 256> keyword_starts = [] {
    std::array<bool, 256> starts{};
    for (std::string_view keyword : keywords) starts[static_cast<unsigned char>(keyword.front())] = true;
    return starts;
}();

std::size_t match_keyword(std::string_view text, std::size_t at) noexcept {
    if (at >= text.size() || !keyword_starts[static_cast<unsigned char>(text[at])]) return no_match;
    return match_first_literal(text, at, keywords);
}

// A literal choice that must not run on into a letter or digit.
template <std::size_t N>
std::size_t match_bounded(std::string_view text, std::size_t at,
                          const std::array<std::string_view, N>& literals) noexcept {
    const std::size_t end = match_first_literal(text, at, literals);
    if (end == no_match || match_ident_char(text, end) != no_match) return no_match;
    return end;
}

// "(" ident_char+ ")"
std::size_t match_paren_group(std::string_view text, std::size_t at) noexcept {
    if (at >= text.size() || text[at] != '(') return no_match;
    const std::size_t inside = at + 1;
    const std::size_t close = match_ident_chars(text, inside);
    if (close == inside || close >= text.size() || text[close] != ')') return no_match;
    return close + 1;
}

std::size_t match_compound_name(std::string_view text, std::size_t at) noexcept {
    // A keyword standing alone is no name.
    const std::size_t keyword_end = match_keyword(text, at);
    if (keyword_end != no_match && match_ident_char(text, keyword_end) == no_match) return no_match;

    // ident_start ident_char* (paren_group ident_char*)*
    if (match_ident_char(text, at) != no_match) {
        std::size_t end = match_ident_chars(text, at + 1);
        for (std::size_t group = match_paren_group(text, end); group != no_match;
             group = match_paren_group(text, end))
            end = match_ident_chars(text, group);
        return end;
    }

    // paren_group (paren_group / ident_char+)+
    const std::size_t first = match_paren_group(text, at);
    if (first == no_match) return no_match;
    std::size_t end = first;
    for (;;) {
        if (const std::size_t group = match_paren_group(text, end); group != no_match) {
            end = group;
        } else if (const std::size_t chars = match_ident_chars(text, end); chars != end) {
            end = chars;
        } else {
            break;
        }
    }
    return end == first ? no_match : end;
}

// digit+ ("." digit+)?
std::size_t match_number(std::string_view text, std::size_t at) noexcept {
    std::size_t end = at;
    while (end < text.size() && is_digit(text[end])) ++end;
    if (end == at) return no_match;
    if (end + 1 < text.size() && text[end] == '.' && is_digit(text[end + 1])) {
        end += 2;
        while (end < text.size() && is_digit(text[end])) ++end;
    }
    return end;
}

std::size_t match_ratio_basis(std::string_view text, std::size_t at) noexcept {
    return match_bounded(text, at, basis_spellings);
}

std::size_t match_conc_unit(std::string_view text, std::size_t at) noexcept {
    return match_bounded(text, at, unit_spellings);
}

std::size_t match_whitespace(std::string_view text, std::size_t at) noexcept {
    return at < text.size() && (text[at] == ' ' || text[at] == '\t') ? at + 1 : no_match;
}

// The expected list of the failure record. A successful parse records
// failures as well, so small lists live inline and allocate nothing.
class RuleList {
public:
    std::size_t size() const noexcept { return size_; }
    void clear() noexcept { truncate(0); }
    void truncate(std::size_t size) noexcept {
        if (size < size_) size_ = size;
        if (size_ <= inline_.size()) spill_.clear();
        else spill_.resize(size_ - inline_.size());
    }
    void push_back(Rule rule) {
        if (size_ < inline_.size()) inline_[size_] = rule;
        else spill_.push_back(rule);
        ++size_;
    }
    std::vector<Rule> sorted_unique() const {
        std::vector<Rule> rules(inline_.begin(), inline_.begin() + static_cast<std::ptrdiff_t>(
                                                                     std::min(size_, inline_.size())));
        rules.insert(rules.end(), spill_.begin(), spill_.end());
        std::sort(rules.begin(), rules.end());
        rules.erase(std::unique(rules.begin(), rules.end()), rules.end());
        return rules;
    }

private:
    std::array<Rule, 24> inline_{};
    std::vector<Rule> spill_;
    std::size_t size_ = 0;
};

// Thrown through the matcher to stop the whole parse at a "(" that would
// open one bracket too many.
struct NestingTooDeep {
    std::size_t position;
};

class Matcher {
public:
    explicit Matcher(std::string_view text) : text_(text), tokens_(take_pair_buffer()) {
        // Room for the pairs of any everyday formulation (about one pair per
        // byte); long texts grow it. The array is reused by the thread's
        // next parse, so this is allocated once per thread.
        tokens_.reserve(1024);
    }

    bool run(Rule rule) {
        switch (rule) {
            case Rule::EOI: return eoi();
            case Rule::WHITESPACE: return silent(match_whitespace);
            case Rule::ident_start:
            case Rule::ident_char: return silent(match_ident_char);
            case Rule::keyword: return silent(match_keyword);
            case Rule::paren_group: return atomic(Rule::paren_group, match_paren_group);
            case Rule::compound_name: return compound_name();
            case Rule::number: return number();
            case Rule::ratio_basis: return ratio_basis();
            case Rule::conc_unit: return conc_unit();
            case Rule::amount: return amount();
            case Rule::name_list: return name_list();
            case Rule::share_list: return share_list();
            case Rule::ratio_mixture: return ratio_mixture();
            case Rule::compound: return compound();
            case Rule::atom: return atom();
            case Rule::bracketed: return bracketed();
            case Rule::blend_term: return blend_term();
            case Rule::blend: return blend();
            case Rule::formulation: return formulation();
        }
        return false;
    }

    std::vector<PairToken> take_tokens() noexcept { return std::move(tokens_); }

    PositionalError failure() const {
        PositionalError error = positional_error_at(text_, attempt_pos_);
        error.expected = attempts_.sorted_unique();
        return error;
    }

private:
    // ---- The failure record.

    std::size_t attempts_at(std::size_t position) const noexcept {
        return attempt_pos_ == position ? attempts_.size() : 0;
    }

    void track(Rule rule, std::size_t position, std::size_t mark) {
        const std::size_t count = attempts_at(position);
        // One entry left by the rule's own inner calls already stands for it.
        if (count == mark + 1) return;
        if (position == attempt_pos_) {
            attempts_.truncate(mark);
        } else if (position > attempt_pos_) {
            attempts_.clear();
            attempt_pos_ = position;
        } else {
            return;
        }
        attempts_.push_back(rule);
    }

    // ---- Rule kinds.

    template <class Body>
    bool rule(Rule id, Body&& body) {
        const std::size_t start = pos_;
        const std::size_t mark = attempts_at(start);
        const std::size_t index = tokens_.size();
        tokens_.push_back(PairToken{id, start, start, 1});
        if (body()) {
            PairToken& token = tokens_[index];
            token.end = pos_;
            token.size = tokens_.size() - index;
            return true;
        }
        tokens_.resize(index);
        pos_ = start;
        track(id, start, mark);
        return false;
    }

    template <class Match>
    bool atomic(Rule id, Match&& match) {
        const std::size_t start = pos_;
        const std::size_t end = match(text_, start);
        if (end != no_match) {
            tokens_.push_back(PairToken{id, start, end, 1});
            pos_ = end;
            return true;
        }
        track(id, start, attempts_at(start));
        return false;
    }

    template <class Match>
    bool silent(Match&& match) {
        const std::size_t end = match(text_, pos_);
        if (end == no_match) return false;
        pos_ = end;
        return true;
    }

    // ---- Combinators of normal rule bodies.

    // Implicit whitespace between items: blanks and tabs only.
    bool skip() noexcept {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        return true;
    }

    bool literal(char c) noexcept {
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    bool literal(std::string_view word) noexcept {
        if (!text_.substr(pos_).starts_with(word)) return false;
        pos_ += word.size();
        return true;
    }

    // A sequence inside a rule body: on failure nothing of it remains.
    template <class Items>
    bool group(Items&& items) {
        const std::size_t start = pos_;
        const std::size_t index = tokens_.size();
        if (items()) return true;
        pos_ = start;
        tokens_.resize(index);
        return false;
    }

    // item*: the first try unskipped, each further one after blanks; a
    // failed further try gives its blanks back.
    template <class Item>
    bool star(Item&& item) {
        if (item()) {
            while (group([&] { return skip() && item(); })) {
            }
        }
        return true;
    }

    // item+ is item ~ item*.
    template <class Item>
    bool plus(Item&& item) {
        return item() && skip() && star(item);
    }

    // ---- The rules.

    bool eoi() {
        return rule(Rule::EOI, [&] { return pos_ == text_.size(); });
    }

    bool compound_name() { return atomic(Rule::compound_name, match_compound_name); }
    bool number() { return atomic(Rule::number, match_number); }
    bool ratio_basis() { return atomic(Rule::ratio_basis, match_ratio_basis); }
    bool conc_unit() { return atomic(Rule::conc_unit, match_conc_unit); }

    bool amount() {
        return rule(Rule::amount, [&] { return number() && skip() && conc_unit(); });
    }

    bool name_list() {
        return rule(Rule::name_list, [&] {
            return compound_name() && skip() && plus([&] { return group([&] {
                       return literal(':') && skip() && compound_name();
                   }); });
        });
    }

    bool share_list() {
        return rule(Rule::share_list, [&] {
            return number() && skip() &&
                   plus([&] { return group([&] { return literal(':') && skip() && number(); }); }) &&
                   skip() && (ratio_basis() || true);
        });
    }

    bool ratio_mixture() {
        return rule(Rule::ratio_mixture, [&] { return name_list() && skip() && share_list(); });
    }

    bool compound() {
        return rule(Rule::compound, [&] { return compound_name(); });
    }

    bool atom() {
        return rule(Rule::atom, [&] { return ratio_mixture() || compound() || bracketed(); });
    }

    bool bracketed() {
        return rule(Rule::bracketed, [&] {
            if (pos_ < text_.size() && text_[pos_] == '(' && open_brackets_ == max_bracket_depth)
                throw NestingTooDeep{pos_};
            if (!literal('(')) return false;
            ensure_stack_room(stack_);
            ++open_brackets_;
            const bool matched = skip() && blend() && skip() && literal(')');
            --open_brackets_;
            return matched;
        });
    }

    bool blend_term() {
        return rule(Rule::blend_term, [&] {
            (void)amount();
            if (!(skip() && atom())) return false;
            skip();
            (void)group([&] { return literal(std::string_view("in")) && skip() && atom(); });
            return true;
        });
    }

    bool blend() {
        return rule(Rule::blend, [&] {
            return blend_term() && skip() &&
                   star([&] { return group([&] { return literal('+') && skip() && blend_term(); }); });
        });
    }

    bool formulation() {
        return rule(Rule::formulation, [&] { return pos_ == 0 && skip() && blend() && skip() && eoi(); });
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::vector<PairToken> tokens_;
    std::size_t attempt_pos_ = 0;
    RuleList attempts_;
    std::size_t open_brackets_ = 0;
    const StackBounds stack_ = stack_bounds();
};

constexpr std::size_t kept_pair_capacity = (256 * 1024) / sizeof(PairToken);

thread_local std::vector<PairToken> spare_pairs;

}  // namespace

std::vector<PairToken> take_pair_buffer() noexcept {
    std::vector<PairToken> tokens = std::move(spare_pairs);
    tokens.clear();
    return tokens;
}

void return_pair_buffer(std::vector<PairToken>&& tokens) noexcept {
    if (tokens.capacity() <= kept_pair_capacity && tokens.capacity() > spare_pairs.capacity())
        spare_pairs = std::move(tokens);
}

std::expected<ParsePairs, PositionalError> KelmoraParser::parse(Rule rule, std::string_view text) {
    Matcher matcher(text);
    try {
        if (!matcher.run(rule)) return std::unexpected(matcher.failure());
    } catch (const NestingTooDeep& stop) {
        PositionalError error = positional_error_at(text, stop.position);
        static_assert(max_bracket_depth == 64, "the message names the limit");
        error.fixed_message = "brackets nest deeper than 64 levels";
        return std::unexpected(std::move(error));
    }
    return ParsePairs{matcher.take_tokens(), text};
}

}  // namespace kelmora
