// UTF-8 checks for what reaches the program from outside: its arguments and
// standard input arrive as bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora::cli {

bool is_valid_utf8(std::string_view bytes) noexcept;
// The length in bytes of the longest valid UTF-8 prefix.
std::size_t valid_utf8_prefix(std::string_view bytes) noexcept;

// Each maximal ill-formed subsequence replaced by one U+FFFD, the usual
// lossy reading, so that a message can still show what was typed.
std::string lossy_utf8(std::string_view bytes);

// The characters of a text (ill-formed parts count one U+FFFD each).
std::vector<char32_t> code_points(std::string_view bytes);
// The characters of a valid UTF-8 text, each as its own bytes.
std::vector<std::string_view> characters(std::string_view valid);

}  // namespace kelmora::cli
