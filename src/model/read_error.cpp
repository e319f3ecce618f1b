// Display and debug forms of the JSON readers' error.
#include "kelmora/read_error.hpp"

#include "debug_text.hpp"

namespace kelmora {

std::string ReadError::display() const {
    if (line == 0) return message;
    std::string out = message;
    out += " at line ";
    out += std::to_string(line);
    out += " column ";
    out += std::to_string(column);
    return out;
}

std::string ReadError::debug() const {
    std::string out = "Error(";
    append_debug_quoted(out, message);
    out += ", line: ";
    out += std::to_string(line);
    out += ", column: ";
    out += std::to_string(column);
    out += ')';
    return out;
}

}  // namespace kelmora
