// Escaping of texts for messages.
#include "debug_text.hpp"

#include "utf8.hpp"

#include <cstdint>
#include <optional>

#include <unicode/uchar.h>

namespace kelmora {

namespace {

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

void append_debug_quoted(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length;
        const char32_t cp = decode_utf8(text, i, length).value_or(utf8_replacement);
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

}  // namespace kelmora
