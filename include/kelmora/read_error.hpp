// The error of the JSON readers: a message and, for errors found while the
// text is scanned, a position (line 0: no position known).
#pragma once

#include <cstddef>
#include <string>

namespace kelmora {

struct ReadError {
    std::string message;
    std::size_t line = 0;
    std::size_t column = 0;  // in bytes

    // The message alone, or "{} at line {} column {}".
    std::string display() const;
    // The debug form "Error(\"msg\", line: L, column: C)" used in the
    // report of a compound table that does not read.
    std::string debug() const;
};

}  // namespace kelmora
