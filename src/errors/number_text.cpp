// Shortest round-trip digits of a double, and the positional number text of
// the messages built from them.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "kelmora/errors.hpp"

namespace kelmora {

ShortestDigits shortest_digits(double magnitude) noexcept {
    // The scientific form of the shortest round-trip representation is
    // "d[.ddd]e±XX": exactly the digits and exponent wanted, with no trailing
    // zeros in the mantissa.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
    ShortestDigits out;
    const char* p = text;
    const char* const end = result.ptr;
    for (; p != end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && out.count < static_cast<int>(sizeof out.digits)) {
            out.digits[out.count++] = *p;
        }
    }
    if (p != end) ++p;  // 'e'
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    int exponent = 0;
    for (; p != end; ++p) exponent = exponent * 10 + (*p - '0');
    out.exponent = negative ? -exponent : exponent;
    return out;
}

char* write_positional(char* out, const ShortestDigits& d) noexcept {
    const char* const digits = d.digits;
    const int n = d.count;
    const int e = d.exponent;
    if (e >= n - 1) {
        out = std::copy(digits, digits + n, out);
        return std::fill_n(out, e - n + 1, '0');
    }
    if (e >= 0) {
        out = std::copy(digits, digits + e + 1, out);
        *out++ = '.';
        return std::copy(digits + e + 1, digits + n, out);
    }
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -e - 1, '0');
    return std::copy(digits, digits + n, out);
}

void append_number_text(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    char text[positional_text_capacity];
    char* end = text;
    if (std::signbit(value)) *end++ = '-';
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        end = std::copy_n("inf", 3, end);
    } else if (magnitude == 0.0) {
        *end++ = '0';
    } else {
        end = write_positional(end, shortest_digits(magnitude));
    }
    out.append(text, end);
}

std::string number_text(double value) {
    std::string out;
    append_number_text(out, value);
    return out;
}

}  // namespace kelmora
