// Tokens of JSON text with the exact messages and positions of its errors.
#include "json_scanner.hpp"

#include "debug_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <fast_float/fast_float.h>

namespace kelmora::json {

namespace {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

int hex_value(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string_view syntax_message(Syntax syntax) noexcept {
    switch (syntax) {
        case Syntax::EofWhileParsingValue: return "EOF while parsing a value";
        case Syntax::EofWhileParsingList: return "EOF while parsing a list";
        case Syntax::EofWhileParsingObject: return "EOF while parsing an object";
        case Syntax::EofWhileParsingString: return "EOF while parsing a string";
        case Syntax::ExpectedValue: return "expected value";
        case Syntax::ExpectedIdent: return "expected ident";
        case Syntax::ExpectedColon: return "expected `:`";
        case Syntax::ExpectedListCommaOrEnd: return "expected `,` or `]`";
        case Syntax::ExpectedObjectCommaOrEnd: return "expected `,` or `}`";
        case Syntax::KeyMustBeAString: return "key must be a string";
        case Syntax::TrailingComma: return "trailing comma";
        case Syntax::InvalidNumber: return "invalid number";
        case Syntax::NumberOutOfRange: return "number out of range";
        case Syntax::InvalidEscape: return "invalid escape";
        case Syntax::ControlCharacter: return "control character (\\u0000-\\u001F) found while parsing a string";
        case Syntax::LoneLeadingSurrogate: return "lone leading surrogate in hex escape";
        case Syntax::UnexpectedEndOfHexEscape: return "unexpected end of hex escape";
        case Syntax::RecursionLimitExceeded: return "recursion limit exceeded";
        case Syntax::TrailingCharacters: return "trailing characters";
    }
    return "";
}

TextPosition position_of(std::string_view text, std::size_t offset) noexcept {
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    TextPosition position;
    position.line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t last_feed = before.rfind('\n');
    position.column = last_feed == std::string_view::npos ? offset : offset - (last_feed + 1);
    return position;
}

ReadError Scanner::error_at(std::string message, std::size_t offset) const {
    const TextPosition position = position_of(text_, offset);
    return ReadError{std::move(message), position.line, position.column};
}

ReadError Scanner::error_at(Syntax syntax, std::size_t offset) const {
    return error_at(std::string(syntax_message(syntax)), offset);
}

ReadError Scanner::error_after_next(Syntax syntax) const {
    return error_at(syntax, std::min(pos_ + 1, text_.size()));
}

ReadError Scanner::value_error() const {
    if (at_end()) return error_at(Syntax::EofWhileParsingValue, pos_);
    return error_after_next(Syntax::ExpectedValue);
}

ReadError Scanner::separator_error(Syntax at_end_syntax, Syntax unexpected) const {
    if (at_end()) return error_at(at_end_syntax, pos_);
    return error_after_next(unexpected);
}

ReadError Scanner::after_comma_error(Syntax syntax) const {
    if (at_end()) return error_at(Syntax::EofWhileParsingValue, pos_);
    return error_after_next(syntax);
}

Scan<ScannedString> Scanner::parse_string_rest(std::size_t start, std::size_t end) {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    pos_ = end;
    if (pos_ == size) return std::unexpected(error_at(Syntax::EofWhileParsingString, size));
    // Escapes (or a control character): decode into the scratch buffer.
    scratch_.assign(data + start, pos_ - start);
    while (true) {
        const std::size_t run = pos_;
        while (pos_ < size && !is_special(data[pos_])) ++pos_;
        scratch_.append(data + run, pos_ - run);
        if (pos_ == size) return std::unexpected(error_at(Syntax::EofWhileParsingString, size));
        const char c = data[pos_];
        if (c == '"') {
            ++pos_;
            return ScannedString{scratch_, false};
        }
        if (c != '\\') return std::unexpected(error_after_next(Syntax::ControlCharacter));
        if (auto escaped = parse_escape(); !escaped) return std::unexpected(std::move(escaped.error()));
    }
}

Scan<std::uint16_t> Scanner::parse_hex4() {
    // The four digits are read together: a bad one is reported at the fourth.
    if (text_.size() - pos_ < 4) {
        pos_ = text_.size();
        return std::unexpected(error_at(Syntax::EofWhileParsingString, pos_));
    }
    int value = 0;
    bool valid = true;
    for (int k = 0; k < 4; ++k) {
        const int digit = hex_value(text_[pos_ + static_cast<std::size_t>(k)]);
        valid = valid && digit >= 0;
        value = value * 16 + (digit < 0 ? 0 : digit);
    }
    pos_ += 4;
    if (!valid) return std::unexpected(error_at(Syntax::InvalidEscape, pos_));
    return static_cast<std::uint16_t>(value);
}

Scan<void> Scanner::parse_escape() {
    ++pos_;  // the backslash
    if (at_end()) return std::unexpected(error_at(Syntax::EofWhileParsingString, pos_));
    const char c = text_[pos_++];
    switch (c) {
        case '"': scratch_ += '"'; return {};
        case '\\': scratch_ += '\\'; return {};
        case '/': scratch_ += '/'; return {};
        case 'b': scratch_ += '\b'; return {};
        case 'f': scratch_ += '\f'; return {};
        case 'n': scratch_ += '\n'; return {};
        case 'r': scratch_ += '\r'; return {};
        case 't': scratch_ += '\t'; return {};
        case 'u': break;
        default: return std::unexpected(error_at(Syntax::InvalidEscape, pos_));
    }
    auto first = parse_hex4();
    if (!first) return std::unexpected(std::move(first.error()));
    const std::uint16_t lead = *first;
    if (lead >= 0xDC00 && lead <= 0xDFFF) return std::unexpected(error_at(Syntax::LoneLeadingSurrogate, pos_));
    if (lead < 0xD800 || lead > 0xDBFF) {
        append_utf8(scratch_, char32_t{lead});
        return {};
    }
    // A leading surrogate: a u-escape of the trailing one must follow at once.
    for (const char expected : {'\\', 'u'}) {
        if (at_end()) return std::unexpected(error_at(Syntax::EofWhileParsingString, pos_));
        if (text_[pos_++] != expected) return std::unexpected(error_at(Syntax::UnexpectedEndOfHexEscape, pos_));
    }
    auto second = parse_hex4();
    if (!second) return std::unexpected(std::move(second.error()));
    const std::uint16_t trail = *second;
    if (trail < 0xDC00 || trail > 0xDFFF) return std::unexpected(error_at(Syntax::LoneLeadingSurrogate, pos_));
    append_utf8(scratch_, char32_t{0x10000} + ((static_cast<std::uint32_t>(lead) - 0xD800u) << 10) +
                              (static_cast<std::uint32_t>(trail) - 0xDC00u));
    return {};
}

Scan<ScannedNumber> Scanner::parse_number() {
    const std::size_t start = pos_;
    const std::size_t size = text_.size();
    const char* const data = text_.data();
    const bool negative = data[pos_] == '-';
    if (negative) ++pos_;
    if (pos_ == size) return std::unexpected(error_at(Syntax::EofWhileParsingValue, size));

    // Integer part, gathered while it fits 64 bits.
    std::uint64_t magnitude = 0;
    bool fits = true;
    if (data[pos_] == '0') {
        ++pos_;
        if (pos_ < size && is_digit(data[pos_])) return std::unexpected(error_after_next(Syntax::InvalidNumber));
    } else if (is_digit(data[pos_])) {
        for (; pos_ < size && is_digit(data[pos_]); ++pos_) {
            const auto digit = static_cast<std::uint64_t>(data[pos_] - '0');
            if (fits && magnitude <= (UINT64_MAX - digit) / 10) {
                magnitude = magnitude * 10 + digit;
            } else {
                fits = false;
            }
        }
    } else {
        return std::unexpected(error_after_next(Syntax::InvalidNumber));
    }

    bool integer = true;
    if (pos_ < size && data[pos_] == '.') {
        integer = false;
        ++pos_;
        if (pos_ == size) return std::unexpected(error_at(Syntax::EofWhileParsingValue, size));
        if (!is_digit(data[pos_])) return std::unexpected(error_after_next(Syntax::InvalidNumber));
        while (pos_ < size && is_digit(data[pos_])) ++pos_;
    }
    if (pos_ < size && (data[pos_] == 'e' || data[pos_] == 'E')) {
        integer = false;
        ++pos_;
        if (pos_ < size && (data[pos_] == '+' || data[pos_] == '-')) ++pos_;
        if (pos_ == size) return std::unexpected(error_at(Syntax::EofWhileParsingValue, size));
        if (!is_digit(data[pos_])) return std::unexpected(error_after_next(Syntax::InvalidNumber));
        while (pos_ < size && is_digit(data[pos_])) ++pos_;
    }

    ScannedNumber number;
    if (integer && fits) {
        if (!negative) {
            number.kind = ScannedNumber::Kind::Unsigned;
            number.u = magnitude;
            return number;
        }
        constexpr std::uint64_t min_magnitude = std::uint64_t{1} << 63;
        if (magnitude != 0 && magnitude <= min_magnitude) {
            number.kind = ScannedNumber::Kind::Signed;
            number.i = magnitude == min_magnitude ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
            return number;
        }
    }
    // The float nearest to the decimal text, ties to even; beyond the range
    // it comes back infinite, which is the only out-of-range case.
    double value = 0.0;
    fast_float::from_chars(data + start, data + pos_, value, fast_float::chars_format::general);
    if (std::isinf(value)) return std::unexpected(error_at(Syntax::NumberOutOfRange, pos_));
    number.kind = ScannedNumber::Kind::Float;
    number.f = value;
    return number;
}

Scan<void> Scanner::parse_literal(std::string_view word) {
    ++pos_;  // the first letter, already seen by begin_value
    for (std::size_t k = 1; k < word.size(); ++k) {
        if (at_end()) return std::unexpected(error_at(Syntax::EofWhileParsingValue, pos_));
        if (text_[pos_++] != word[k]) return std::unexpected(error_at(Syntax::ExpectedIdent, pos_));
    }
    return {};
}

Scan<void> Scanner::skip_value() {
    auto start = begin_value();
    if (!start) return std::unexpected(std::move(start.error()));
    switch (*start) {
        case '"': {
            auto s = parse_string();
            if (!s) return std::unexpected(std::move(s.error()));
            return {};
        }
        case 't': return parse_literal("true");
        case 'f': return parse_literal("false");
        case 'n': return parse_literal("null");
        case '[': {
            advance();
            if (auto e = enter(); !e) return e;
            for (bool first = true;; first = false) {
                auto more = next_element(first);
                if (!more) return std::unexpected(std::move(more.error()));
                if (!*more) break;
                if (auto e = skip_value(); !e) return e;
            }
            leave();
            return {};
        }
        case '{': {
            advance();
            if (auto e = enter(); !e) return e;
            for (bool first = true;; first = false) {
                auto more = next_key(first);
                if (!more) return std::unexpected(std::move(more.error()));
                if (!*more) break;
                if (auto key = parse_string(); !key) return std::unexpected(std::move(key.error()));
                if (auto e = parse_colon(); !e) return e;
                if (auto e = skip_value(); !e) return e;
            }
            leave();
            return {};
        }
        default: {
            auto n = parse_number();
            if (!n) return std::unexpected(std::move(n.error()));
            return {};
        }
    }
}

Scan<void> Scanner::finish() {
    skip_whitespace();
    if (!at_end()) return std::unexpected(error_after_next(Syntax::TrailingCharacters));
    return {};
}

}  // namespace kelmora::json
