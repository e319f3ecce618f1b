#include "cli.hpp"

#include <array>
#include <utility>

#include "command_line.hpp"

namespace kelmora::cli {

namespace {

constexpr FlagDef help_flag{'h', "help", "Print help", FlagAction::Help};

constexpr PositionalDef formulation_input{"INPUT", "Formulation string to parse; reads stdin if omitted"};
constexpr PositionalDef json_input{"INPUT", "JSON tree to deserialize; reads stdin if omitted"};
constexpr PositionalDef help_names{"COMMAND", "Print help for the subcommand(s)", true};

constexpr std::array<FlagDef, 1> help_only{help_flag};
constexpr std::array<FlagDef, 2> to_json_flags{
    FlagDef{'\0', "pretty", "Pretty-print the JSON output", FlagAction::SetTrue}, help_flag};

constexpr std::array<CommandDef, 4> subcommands{
    CommandDef{"normalize", "Parse shorthand text and print its canonical shorthand form", &formulation_input,
                help_only},
    CommandDef{"to-json", "Parse shorthand text and print its canonical JSON tree", &formulation_input,
                to_json_flags},
    CommandDef{"from-json", "Deserialize a canonical JSON tree, re-validate it, and print its canonical shorthand form",
                &json_input, help_only},
    // The generated help subcommand has no help flag of its own.
    CommandDef{help_subcommand, "Print this message or the help of the given subcommand(s)", &help_names, {}},
};

constexpr CommandDef root{"kelmora", "Parse/render battery electrolyte formulation shorthand", nullptr, help_only,
                           subcommands.data(), subcommands.size()};

// An error found while the accepted values are taken over into `Cli`,
// shown like a usage error with the program's own usage line.
EarlyExit format_error(const StyledText& message, std::span<const std::string> args) {
    return usage_error(root_command_at(root, program_name(args)), message);
}

}  // namespace

const CommandDef& Cli::command() { return root; }

std::variant<Cli, EarlyExit> Cli::parse(std::span<const std::string> args) {
    auto parsed = parse_command_line(command(), args);
    if (auto* exit = std::get_if<EarlyExit>(&parsed)) return std::move(*exit);
    Matches& matches = std::get<Matches>(parsed);
    const std::string_view name = matches.command.definition->name;
    if (name == "normalize") return Cli{Normalize{std::move(matches.positional)}};
    if (name == "to-json") return Cli{ToJson{std::move(matches.positional), matches.flag("pretty")}};
    if (name == "from-json") return Cli{FromJson{std::move(matches.positional)}};
    // The parser only accepts a line that names one of the three.
    return format_error(unrecognized_subcommand(name), args);
}

}  // namespace kelmora::cli
