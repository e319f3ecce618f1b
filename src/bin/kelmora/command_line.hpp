// Parsing of the process arguments against a command definition.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command_definition.hpp"
#include "usage_error.hpp"

namespace kelmora::cli {

// An accepted command line: the (sub)command reached and its values.
struct Matches {
    CommandAt command;
    std::optional<std::string> positional;  // valid UTF-8, exactly as typed
    std::vector<std::string_view> flags;     // long names of the flags given

    bool flag(std::string_view long_name) const noexcept;
};

// `args` are all process arguments, the first naming the program (it may be
// missing). A help request, a call without arguments and a usage error come
// back as the text to show and the status to end with.
std::variant<Matches, EarlyExit> parse_command_line(const CommandDef& root, std::span<const std::string> args);

// The last path component of the program's path when it is valid UTF-8.
std::optional<std::string> program_name(std::span<const std::string> args);

}  // namespace kelmora::cli
