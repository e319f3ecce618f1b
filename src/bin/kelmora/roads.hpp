// The three roads of the program: one text in, one result or error out.
#pragma once

#include "cli.hpp"

namespace kelmora::cli {

// Runs the subcommand; returns the exit status (0 or 1). A result, warning
// or error line that cannot be written raises an internal error.
int run(const Cli& cli);

}  // namespace kelmora::cli
