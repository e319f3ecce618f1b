// Numbers in the canonical shorthand: whole values as the exact digits of the
// integer, so a share or an amount never turns into an exponent form that
// the grammar cannot read.
#include "shorthand_number.hpp"

#include <charconv>
#include <cmath>
#include <string>

#include "kelmora/errors.hpp"
#include "kelmora/render.hpp"

namespace kelmora {

void append_shorthand_number(std::string& out, double value) {
    if (!std::isfinite(value) || std::trunc(value) != value) {
        append_number_text(out, value);
        return;
    }
    if (value == 0.0) {
        // Negative zero too.
        out += '0';
        return;
    }
    // The largest double has 309 integer digits.
    char text[320];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 0);
    out.append(text, result.ptr);
}

std::string shorthand_number_text(double value) {
    std::string out;
    append_shorthand_number(out, value);
    return out;
}

}  // namespace kelmora
