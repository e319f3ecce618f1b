#include "representation.hpp"

// The quoted form is the one the library's messages use for texts.
#include "model/debug_text.hpp"

namespace kelmora::python {

std::string representation_text(std::string_view canonical, const std::vector<std::string>& warnings) {
    std::string out = "Formulation(normalize=";
    append_debug_quoted(out, canonical);
    out += ", warnings=[";
    for (std::size_t i = 0; i < warnings.size(); ++i) {
        if (i > 0) out += ", ";
        append_debug_quoted(out, warnings[i]);
    }
    out += "])";
    return out;
}

}  // namespace kelmora::python
