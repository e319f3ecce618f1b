// Where a failed parse stopped, as the positional error shows it.
#pragma once

#include <cstddef>
#include <string_view>

#include "kelmora/positional_error.hpp"

namespace kelmora {

// A positional error at `position` of `text`: line, column and line text
// filled in, no expected rules yet.
PositionalError positional_error_at(std::string_view text, std::size_t position);

}  // namespace kelmora
