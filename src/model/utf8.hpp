// UTF-8 decoding, checking and repair.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelmora {

inline constexpr char32_t utf8_replacement = 0xFFFD;

// Decodes one well-formed UTF-8 sequence at `i`; nullopt when the bytes there
// are not one. `length` receives the length of the maximal subpart that
// starts a valid sequence (at least 1), so the caller can skip it.
std::optional<char32_t> decode_utf8(std::string_view s, std::size_t i, std::size_t& length) noexcept;

// Appends the UTF-8 encoding of one Unicode scalar value.
void append_utf8(std::string& out, char32_t cp);

// True when `bytes` is well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes) noexcept;

// The length in bytes of the longest well-formed prefix of `bytes`.
std::size_t valid_utf8_prefix(std::string_view bytes) noexcept;

// Appends `bytes` as UTF-8 text, each invalid sequence replaced by U+FFFD
// (a maximal invalid subpart counts one replacement).
void append_utf8_lossy(std::string& out, std::string_view bytes);

}  // namespace kelmora
