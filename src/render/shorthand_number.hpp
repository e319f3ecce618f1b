// The shorthand's number text, appended to a buffer.
#pragma once

#include <string>

namespace kelmora {

void append_shorthand_number(std::string& out, double value);

}  // namespace kelmora
