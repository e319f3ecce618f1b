#include "lowercase.hpp"

#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace kelmora::registry_detail {

namespace {

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ICU measures strings in int32_t; runs the call once with a guess of the
// size and again with the size it asks for.
template <class Out, class Call>
bool run_sized(std::vector<Out>& out, std::int32_t guess, Call call) {
    out.resize(static_cast<std::size_t>(guess));
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t length = call(out.data(), static_cast<std::int32_t>(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(length));
        status = U_ZERO_ERROR;
        length = call(out.data(), static_cast<std::int32_t>(out.size()), &status);
    }
    if (U_FAILURE(status)) return false;
    out.resize(static_cast<std::size_t>(length));
    return true;
}

}  // namespace

std::string ascii_lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<std::string> unicode_lowercase(std::string_view text) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 4)) return std::nullopt;
    const auto size = static_cast<std::int32_t>(text.size());

    std::vector<UChar> utf16;
    if (!run_sized(utf16, size, [&](UChar* dest, std::int32_t capacity, UErrorCode* status) {
            std::int32_t length = 0;
            u_strFromUTF8(dest, capacity, &length, text.data(), size, status);
            return length;
        })) {
        return std::nullopt;
    }

    // The root locale "" gives the mapping that is the same everywhere,
    // Final_Sigma and the mappings to several characters included.
    std::vector<UChar> lowered;
    const auto utf16_size = static_cast<std::int32_t>(utf16.size());
    if (!run_sized(lowered, utf16_size + 8, [&](UChar* dest, std::int32_t capacity, UErrorCode* status) {
            return u_strToLower(dest, capacity, utf16.data(), utf16_size, "", status);
        })) {
        return std::nullopt;
    }

    std::vector<char> utf8;
    const auto lowered_size = static_cast<std::int32_t>(lowered.size());
    if (!run_sized(utf8, size + 8, [&](char* dest, std::int32_t capacity, UErrorCode* status) {
            std::int32_t length = 0;
            u_strToUTF8(dest, capacity, &length, lowered.data(), lowered_size, status);
            return length;
        })) {
        return std::nullopt;
    }
    return std::string(utf8.begin(), utf8.end());
}

std::optional<std::string> lowercase(std::string_view text) {
    // For ASCII the Unicode mapping is A-Z to a-z and nothing else.
    if (is_ascii(text)) return ascii_lowercase(text);
    return unicode_lowercase(text);
}

}  // namespace kelmora::registry_detail
