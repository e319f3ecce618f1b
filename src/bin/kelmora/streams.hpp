// The program's standard streams: start-up repair, reading standard input,
// and the two kinds of writes (lines that must get out, texts that may not).
#pragma once

#include <optional>
#include <source_location>
#include <string>
#include <string_view>

#include "usage_error.hpp"

namespace kelmora::cli {

// Opens "/dev/null" on each of descriptors 0, 1 and 2 that is closed, so that
// nothing the program opens takes their place, and ignores SIGPIPE so that a
// write to a closed pipe fails instead of ending the process.
void prepare_standard_streams() noexcept;

// All of standard input as UTF-8 text, or nothing when it cannot be read or
// is not UTF-8.
std::optional<std::string> read_standard_input();

// Writes `text` and a line break; a failure is an internal error
// ("failed printing to stdout: Broken pipe (os error 32)").
void print_line(Stream stream, std::string_view text, std::source_location where = std::source_location::current());

// Writes a help text or usage error; a failure is ignored.
void write_ignoring_failure(Stream stream, std::string_view text) noexcept;

// Whether help texts and usage errors written to `stream` carry styling.
bool styling_enabled(Stream stream) noexcept;

}  // namespace kelmora::cli
