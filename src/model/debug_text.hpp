// The quoted, escaped form of a text that messages and debug forms show.
#pragma once

#include <string>
#include <string_view>

#include "utf8.hpp"

namespace kelmora {

// Appends `text` between double quotes: a quote and a backslash get a
// backslash, tab, carriage return, line feed and NUL are written \t, \r, \n
// and \0, other characters that do not print (controls, format characters,
// separators other than the blank, private-use, unassigned, and combining
// marks that would attach to the quote) as \u{hex}; everything else stands.
void append_debug_quoted(std::string& out, std::string_view text);

}  // namespace kelmora
