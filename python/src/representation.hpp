// The representation of a Formulation: "Formulation(normalize={}, warnings={})"
// with the canonical text and the warnings in quoted form.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelmora::python {

// Each text between double quotes, with backslash escapes for quotes,
// backslashes, tab, line feed, carriage return and NUL, and \u{...} for
// characters that do not print.
std::string representation_text(std::string_view canonical, const std::vector<std::string>& warnings);

}  // namespace kelmora::python
