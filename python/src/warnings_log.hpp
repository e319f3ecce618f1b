// Logs the warnings of a parse through the logger "kelmora".
#pragma once

#include <string>
#include <vector>

namespace kelmora::python {

// One WARNING record per text, in order. Every failure is swallowed: the
// caller's result never depends on the logging. Imports logging only when
// there is something to log.
void log_warnings(const std::vector<std::string>& warnings) noexcept;

}  // namespace kelmora::python
