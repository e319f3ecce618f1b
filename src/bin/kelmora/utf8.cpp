#include "utf8.hpp"

#include <cstddef>

namespace kelmora::cli {

namespace {

constexpr char32_t replacement = U'\uFFFD';

struct Decoded {
    char32_t code_point;  // `replacement` when ill-formed
    std::size_t length;   // bytes taken, at least one
    bool valid;
};

// Decodes the character at `pos`; an ill-formed sequence takes its longest
// prefix that could still have begun a valid character.
Decoded decode_at(std::string_view bytes, std::size_t pos) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) return {lead, 1, true};

    std::size_t need = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return {replacement, 1, false};
    }

    std::size_t taken = 1;
    for (std::size_t i = 0; i < need; ++i) {
        if (pos + taken >= bytes.size()) return {replacement, taken, false};
        const unsigned char next = byte(pos + taken);
        const unsigned char lo = i == 0 ? low : 0x80;
        const unsigned char hi = i == 0 ? high : 0xBF;
        if (next < lo || next > hi) return {replacement, taken, false};
        value = (value << 6) | (next & 0x3Fu);
        ++taken;
    }
    return {value, taken, true};
}

void append_utf8(std::string& out, char32_t cp) {
    const auto put = [&](unsigned value) { out.push_back(static_cast<char>(value)); };
    const auto v = static_cast<unsigned>(cp);
    if (v < 0x80) {
        put(v);
    } else if (v < 0x800) {
        put(0xC0 | (v >> 6));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        put(0xE0 | (v >> 12));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    } else {
        put(0xF0 | (v >> 18));
        put(0x80 | ((v >> 12) & 0x3F));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    }
}

}  // namespace

std::size_t valid_utf8_prefix(std::string_view bytes) noexcept {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Decoded d = decode_at(bytes, pos);
        if (!d.valid) break;
        pos += d.length;
    }
    return pos;
}

bool is_valid_utf8(std::string_view bytes) noexcept { return valid_utf8_prefix(bytes) == bytes.size(); }

std::string lossy_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Decoded d = decode_at(bytes, pos);
        if (d.valid) {
            out.append(bytes.substr(pos, d.length));
        } else {
            append_utf8(out, replacement);
        }
        pos += d.length;
    }
    return out;
}

std::vector<char32_t> code_points(std::string_view bytes) {
    std::vector<char32_t> out;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Decoded d = decode_at(bytes, pos);
        out.push_back(d.code_point);
        pos += d.length;
    }
    return out;
}

std::vector<std::string_view> characters(std::string_view valid) {
    std::vector<std::string_view> out;
    for (std::size_t pos = 0; pos < valid.size();) {
        const Decoded d = decode_at(valid, pos);
        out.push_back(valid.substr(pos, d.length));
        pos += d.length;
    }
    return out;
}

}  // namespace kelmora::cli
