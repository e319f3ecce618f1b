// The JSON tree reader: one JSON text into one formulation tree, or one
// reading error. Syntax errors, the nesting limit (127 levels are read) and
// errors of the top-level tag carry a line and a byte column; errors of the
// tree's shape carry none.
#pragma once

#include <expected>
#include <string_view>

#include "kelmora/model.hpp"
#include "kelmora/read_error.hpp"

namespace kelmora {

// Reads the whole text (valid UTF-8); names, kinds and numbers are taken as
// written, nothing is looked up.
std::expected<Node, ReadError> read_json_tree(std::string_view text);

}  // namespace kelmora
