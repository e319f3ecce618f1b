// The definition of the command line: commands, their arguments and help
// texts, and the help and usage texts made from it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "styled_text.hpp"

namespace kelmora::cli {

enum class FlagAction : unsigned char { SetTrue, Help };

struct FlagDef {
    char short_name = '\0';  // '\0': long form only
    std::string_view long_name;
    std::string_view help;
    FlagAction action = FlagAction::SetTrue;
};

struct PositionalDef {
    std::string_view value_name;
    std::string_view help;
    bool multiple = false;
};

struct CommandDef {
    std::string_view name;
    std::string_view about;
    const PositionalDef* positional = nullptr;
    std::span<const FlagDef> flags;  // the generated help flag last
    // The generated `help` last. Kept as pointer and count: a span of the
    // type being defined needs it complete (libc++).
    const CommandDef* subcommand_list = nullptr;
    std::size_t subcommand_count = 0;

    std::span<const CommandDef> subcommands() const noexcept;

    const CommandDef* find_subcommand(std::string_view word) const noexcept;
    const FlagDef* find_long(std::string_view name) const noexcept;
    // `character`: the bytes of one character.
    const FlagDef* find_short(std::string_view character) const noexcept;
};

// The name of the generated subcommand that shows help texts.
inline constexpr std::string_view help_subcommand = "help";

// A command as reached on the command line, with the name its usage line
// shows ("kelmora to-json"; without a program name, "kelmora" for the root
// and the subcommand's own name below it).
struct CommandAt {
    const CommandDef* definition;
    std::string usage_name;
    std::optional<std::string> program_name;  // from the first argument

    CommandAt subcommand(const CommandDef& sub) const;
};

CommandAt root_command_at(const CommandDef& root, std::optional<std::string> program_name);

// "kelmora to-json [OPTIONS] [INPUT]", the name styled.
StyledText usage_string(const CommandAt& command);
// The full help text, ending with one line break.
StyledText help_text(const CommandAt& command);

}  // namespace kelmora::cli
