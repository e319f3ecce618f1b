// The command line of kelmora: its definition and the accepted values.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <variant>

#include "command_definition.hpp"
#include "usage_error.hpp"

namespace kelmora::cli {

struct Normalize {
    std::optional<std::string> input;
};
struct ToJson {
    std::optional<std::string> input;
    bool pretty = false;
};
struct FromJson {
    std::optional<std::string> input;
};
using CliCommand = std::variant<Normalize, ToJson, FromJson>;

struct Cli {
    CliCommand subcommand;

    // The command definition: root, subcommands, arguments, help texts.
    static const CommandDef& command();
    // Parses all process arguments (the first names the program).
    static std::variant<Cli, EarlyExit> parse(std::span<const std::string> args);
};

}  // namespace kelmora::cli
