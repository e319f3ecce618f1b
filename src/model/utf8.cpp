// UTF-8 decoding, checking and repair, shared by the readers, the messages
// and the program's handling of its arguments and standard input.
#include "utf8.hpp"

namespace kelmora {

std::optional<char32_t> decode_utf8(std::string_view s, std::size_t i, std::size_t& length) noexcept {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    length = 1;
    if (b0 < 0x80) return b0;
    std::size_t need;
    char32_t cp;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0Fu;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07u;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;
    } else {
        return std::nullopt;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (i + k >= s.size()) return std::nullopt;
        const unsigned char b = byte(i + k);
        if (b < low || b > high) return std::nullopt;
        low = 0x80;
        high = 0xBF;
        cp = (cp << 6) | (b & 0x3Fu);
        length = k + 1;
    }
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_valid_utf8(std::string_view bytes) noexcept {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        if (!decode_utf8(bytes, i, length)) return false;
        i += length;
    }
    return true;
}

void append_utf8_lossy(std::string& out, std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t length;
        if (decode_utf8(bytes, i, length)) {
            out.append(bytes.substr(i, length));
        } else {
            append_utf8(out, utf8_replacement);
        }
        i += length;
    }
}

std::size_t valid_utf8_prefix(std::string_view bytes) noexcept {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t length;
        if (!decode_utf8(bytes, i, length)) break;
        i += length;
    }
    return i;
}

}  // namespace kelmora
