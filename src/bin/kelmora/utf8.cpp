#include "utf8.hpp"

#include "model/utf8.hpp"

namespace kelmora::cli {

bool is_valid_utf8(std::string_view bytes) noexcept { return kelmora::is_valid_utf8(bytes); }

std::size_t valid_utf8_prefix(std::string_view bytes) noexcept { return kelmora::valid_utf8_prefix(bytes); }

std::string lossy_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    append_utf8_lossy(out, bytes);
    return out;
}

std::vector<char32_t> code_points(std::string_view bytes) {
    std::vector<char32_t> out;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t length;
        out.push_back(decode_utf8(bytes, pos, length).value_or(utf8_replacement));
        pos += length;
    }
    return out;
}

std::vector<std::string_view> characters(std::string_view valid) {
    std::vector<std::string_view> out;
    for (std::size_t pos = 0; pos < valid.size();) {
        std::size_t length;
        (void)decode_utf8(valid, pos, length);
        out.push_back(valid.substr(pos, length));
        pos += length;
    }
    return out;
}

}  // namespace kelmora::cli
