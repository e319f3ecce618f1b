// The JSON text scanner shared by the readers of JSON text: the buffered tree
// reader (json_reader.cpp) and the direct reader of the compound table. It
// knows tokens, escapes, numbers and the nesting limit, and words every
// syntax error with its position; what the values mean is the caller's.
//
// A direct reader drives it like this (every call that can fail returns a
// Scan<T>, whose error is the ReadError to hand back unchanged):
//
//     Scanner sc(text);
//     auto start = sc.begin_value();               // "{" expected here
//     if (!start) return unexpected(start.error());
//     if (*start != '{') ...                        // the caller's own error
//     sc.advance();                                 // consume the '{'
//     if (auto e = sc.enter(); !e) ...              // one nesting level
//     for (bool first = true;; first = false) {
//         auto more = sc.next_key(first);            // true: a key follows
//         if (!more) ...; if (!*more) break;         // false: '}' consumed
//         auto name = sc.parse_string();             // the key text; copy it if
//         ...                                        // it must outlive the next string
//         if (auto c = sc.parse_colon(); !c) ...
//         ... read the value: begin_value(), then parse_string(),
//             parse_number(), parse_literal(), or skip_value() ...
//     }
//     sc.leave();
//     if (auto e = sc.finish(); !e) ...             // "trailing characters"
//
// Errors of the caller's own (a missing field, say) get their position from
// error_at(message, sc.offset()), which adds the line and column the same
// way.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <expected>
#include <string>
#include <string_view>

#include "kelmora/read_error.hpp"

namespace kelmora::json {

// The syntax errors, each with one fixed message (syntax_message).
enum class Syntax : std::uint8_t {
    EofWhileParsingValue,       // "EOF while parsing a value"
    EofWhileParsingList,        // "EOF while parsing a list"
    EofWhileParsingObject,      // "EOF while parsing an object"
    EofWhileParsingString,      // "EOF while parsing a string"
    ExpectedValue,              // "expected value"
    ExpectedIdent,              // "expected ident"
    ExpectedColon,              // "expected `:`"
    ExpectedListCommaOrEnd,     // "expected `,` or `]`"
    ExpectedObjectCommaOrEnd,   // "expected `,` or `}`"
    KeyMustBeAString,           // "key must be a string"
    TrailingComma,              // "trailing comma"
    InvalidNumber,              // "invalid number"
    NumberOutOfRange,           // "number out of range"
    InvalidEscape,              // "invalid escape"
    ControlCharacter,           // "control character (\u0000-\u001F) found while parsing a string"
    LoneLeadingSurrogate,       // "lone leading surrogate in hex escape"
    UnexpectedEndOfHexEscape,   // "unexpected end of hex escape"
    RecursionLimitExceeded,     // "recursion limit exceeded"
    TrailingCharacters,         // "trailing characters"
};

std::string_view syntax_message(Syntax syntax) noexcept;

// Line (1-based) and byte column of a byte offset: the column is the number of
// bytes between the last line feed before the offset and the offset.
struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 0;
};
TextPosition position_of(std::string_view text, std::size_t offset) noexcept;

// A decoded JSON string. Without escapes it is a view into the input text and
// lives as long as that text; with escapes it is a view into the scanner's
// scratch buffer, valid only until the next string is scanned.
struct ScannedString {
    std::string_view text;
    bool borrowed = true;
};

// A JSON number: an unsigned integer when it has no fraction or exponent, is
// not negative and fits 64 bits; a signed one when it is negative and fits;
// otherwise (negative zero included) the float nearest to its text.
struct ScannedNumber {
    enum class Kind : std::uint8_t { Unsigned, Signed, Float };
    Kind kind = Kind::Unsigned;
    union {
        std::uint64_t u;
        std::int64_t i;
        double f;
    };
    ScannedNumber() : u(0) {}
};

template <class T>
using Scan = std::expected<T, ReadError>;

class Scanner {
public:
    // Every array and object counts one level while it is open; opening the
    // 128th fails with "recursion limit exceeded".
    static constexpr std::uint8_t max_depth = 128;

    explicit Scanner(std::string_view text) noexcept : text_(text) {}

    std::string_view text() const noexcept { return text_; }
    std::size_t offset() const noexcept { return pos_; }
    bool at_end() const noexcept { return pos_ == text_.size(); }

    // Skips blanks, tabs, line feeds and carriage returns; returns the next
    // byte without consuming it, or -1 at the end of the text.
    int peek() noexcept {
        skip_whitespace();
        return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1;
    }
    void skip_whitespace() noexcept {
        // Every whitespace byte is at most a blank: one compare settles the
        // usual case of a token right here.
        while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= ' ' && is_whitespace(text_[pos_])) {
            ++pos_;
        }
    }
    // Consumes one byte (the one peek returned).
    void advance() noexcept { ++pos_; }

    // Skips whitespace and returns the first byte of the value that is due,
    // unconsumed: one of '"', '-', '0'-'9', 't', 'f', 'n', '[', '{'. Fails
    // with "EOF while parsing a value" or "expected value".
    Scan<char> begin_value() {
        const int c = peek();
        if (c >= 0 && begins_value(static_cast<char>(c))) return static_cast<char>(c);
        return std::unexpected(value_error());
    }

    // At the '"' that begin_value or next_key found: the decoded string.
    Scan<ScannedString> parse_string() {
        // Plain strings are the common case: finish them here, eight bytes
        // at a time.
        const std::size_t start = pos_ + 1;
        const std::size_t size = text_.size();
        const char* const data = text_.data();
        std::size_t end = start;
        while (true) {
            if (end + 8 > size) {
                while (end < size && !is_special(data[end])) ++end;
                break;
            }
            if (const std::uint64_t found = special_bytes(data + end)) {
                end += static_cast<std::size_t>(std::countr_zero(found)) / 8;
                break;
            }
            end += 8;
        }
        if (end < size && data[end] == '"') {
            pos_ = end + 1;
            return ScannedString{text_.substr(start, end - start), true};
        }
        return parse_string_rest(start, end);
    }
    // At the '-' or digit that begin_value found.
    Scan<ScannedNumber> parse_number();
    // At the first letter of `word` ("true", "false" or "null"): consumes it.
    Scan<void> parse_literal(std::string_view word);

    // Right after a '[' or '{' was consumed: opens one nesting level.
    Scan<void> enter() {
        if (remaining_depth_ == 1) return std::unexpected(error_at(Syntax::RecursionLimitExceeded, pos_));
        --remaining_depth_;
        return {};
    }
    // After the matching ']' or '}' was consumed.
    void leave() noexcept { ++remaining_depth_; }

    // Inside an array, `first` true right after "[": true when an element
    // follows (begin_value reads it), false when "]" ended the array (consumed).
    Scan<bool> next_element(bool first) {
        int c = peek();
        if (c == ']') {
            advance();
            return false;
        }
        if (first) {
            if (c >= 0) return true;
        } else if (c == ',') {
            advance();
            c = peek();
            if (c >= 0 && c != ']') return true;
            return std::unexpected(after_comma_error(Syntax::TrailingComma));
        }
        return std::unexpected(separator_error(Syntax::EofWhileParsingList, Syntax::ExpectedListCommaOrEnd));
    }
    // Inside an object, `first` true right after "{": true when a key follows
    // (parse_string reads it), false when "}" ended the object (consumed).
    Scan<bool> next_key(bool first) {
        int c = peek();
        if (c == '}') {
            advance();
            return false;
        }
        if (first) {
            if (c == '"') return true;
            if (c >= 0) return std::unexpected(error_after_next(Syntax::KeyMustBeAString));
        } else if (c == ',') {
            advance();
            c = peek();
            if (c == '"') return true;
            return std::unexpected(after_comma_error(c == '}' ? Syntax::TrailingComma : Syntax::KeyMustBeAString));
        }
        return std::unexpected(separator_error(Syntax::EofWhileParsingObject, Syntax::ExpectedObjectCommaOrEnd));
    }
    // After a key: the ':' (whitespace before it skipped).
    Scan<void> parse_colon() {
        if (peek() == ':') {
            advance();
            return {};
        }
        return std::unexpected(separator_error(Syntax::EofWhileParsingObject, Syntax::ExpectedColon));
    }

    // Reads one complete value and discards it (nesting counted as usual).
    Scan<void> skip_value();

    // After the top-level value: only whitespace may follow.
    Scan<void> finish();

    // The error `syntax` at byte offset `offset` (line and column added).
    ReadError error_at(Syntax syntax, std::size_t offset) const;
    ReadError error_at(std::string message, std::size_t offset) const;
    // At the offset just after the next byte (the first byte not acceptable
    // there), or at the end of the text.
    ReadError error_after_next(Syntax syntax) const;

    static constexpr bool is_whitespace(char c) noexcept {
        return c == ' ' || c == '\n' || c == '\t' || c == '\r';
    }

private:
    static constexpr bool is_special(char c) noexcept {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    }
    // The high bit of each of the eight bytes at `p` that is a quote, a
    // backslash or below 0x20 (the bytes that end a plain run inside a
    // string); bytes above the first such byte may be flagged wrongly, so
    // only the lowest flag counts. Little-endian.
    static std::uint64_t special_bytes(const char* p) noexcept {
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        constexpr std::uint64_t highs = 0x8080808080808080ULL;
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        const std::uint64_t quote = v ^ (ones * '"');
        const std::uint64_t backslash = v ^ (ones * '\\');
        const std::uint64_t found = ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash) | ((v - ones * 0x20) & ~v);
        static_assert(std::endian::native == std::endian::little, "the lowest byte must come first");
        return found & highs;
    }
    static constexpr bool begins_value(char c) noexcept {
        return c == '"' || c == '{' || c == '[' || c == '-' || (c >= '0' && c <= '9') || c == 't' || c == 'f' ||
               c == 'n';
    }
    // The error paths, kept out of line.
    [[gnu::cold]] ReadError value_error() const;
    // At the end of the text `at_end`, else `unexpected` at the next byte.
    [[gnu::cold]] ReadError separator_error(Syntax at_end, Syntax unexpected) const;
    // After a comma: "EOF while parsing a value" at the end, else `syntax`.
    [[gnu::cold]] ReadError after_comma_error(Syntax syntax) const;
    // The rest of a string from `end`, the first byte that is no plain byte.
    Scan<ScannedString> parse_string_rest(std::size_t start, std::size_t end);
    Scan<void> parse_escape();
    Scan<std::uint16_t> parse_hex4();

    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint8_t remaining_depth_ = max_depth;
    std::string scratch_;
};

}  // namespace kelmora::json
