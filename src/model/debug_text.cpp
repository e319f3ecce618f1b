// Escaping of texts for messages, and lossy UTF-8 repair.
#include "debug_text.hpp"

#include <cstdint>
#include <optional>

#include <unicode/uchar.h>

namespace kelmora {

namespace {

constexpr char32_t replacement = 0xFFFD;

// Decodes one well-formed UTF-8 sequence at `i`; nullopt when the bytes there
// are not one. `length` receives the length of the maximal subpart that
// starts a valid sequence (at least 1), so the caller can skip it.
std::optional<char32_t> decode_utf8(std::string_view s, std::size_t i, std::size_t& length) {
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

bool prints(char32_t cp) {
    if (cp < 0x80) return cp >= 0x20 && cp < 0x7F;
    const auto c = static_cast<UChar32>(cp);
    if (u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND)) return false;
    switch (u_charType(c)) {
        case U_CONTROL_CHAR:
        case U_FORMAT_CHAR:
        case U_SURROGATE:
        case U_PRIVATE_USE_CHAR:
        case U_UNASSIGNED:
        case U_LINE_SEPARATOR:
        case U_PARAGRAPH_SEPARATOR:
        case U_SPACE_SEPARATOR:
            return false;
        default:
            return true;
    }
}

}  // namespace

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

void append_debug_quoted(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length;
        const char32_t cp = decode_utf8(text, i, length).value_or(replacement);
        switch (cp) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case 0: out += "\\0"; break;
            default:
                if (prints(cp)) {
                    append_utf8(out, cp);
                } else {
                    out += "\\u{";
                    bool started = false;
                    for (int shift = 20; shift >= 0; shift -= 4) {
                        const auto digit = static_cast<unsigned>((cp >> shift) & 0xF);
                        if (digit != 0 || started || shift == 0) {
                            out += hex[digit];
                            started = true;
                        }
                    }
                    out += '}';
                }
        }
        i += length;
    }
    out += '"';
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
            append_utf8(out, replacement);
        }
        i += length;
    }
}

}  // namespace kelmora
