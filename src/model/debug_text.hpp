// The quoted, escaped form of a text that messages and debug forms show.
#pragma once

#include <string>
#include <string_view>

namespace kelmora {

// Appends `text` between double quotes: a quote and a backslash get a
// backslash, tab, carriage return, line feed and NUL are written \t, \r, \n
// and \0, other characters that do not print (controls, format characters,
// separators other than the blank, private-use, unassigned, and combining
// marks that would attach to the quote) as \u{hex}; everything else stands.
void append_debug_quoted(std::string& out, std::string_view text);

// Appends the UTF-8 encoding of one Unicode scalar value.
void append_utf8(std::string& out, char32_t cp);

// True when `bytes` is well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes) noexcept;

// Appends `bytes` as UTF-8 text, each invalid sequence replaced by U+FFFD
// (a maximal invalid subpart counts one replacement).
void append_utf8_lossy(std::string& out, std::string_view bytes);

}  // namespace kelmora
