#include "command_definition.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace kelmora::cli {

std::span<const CommandDef> CommandDef::subcommands() const noexcept { return {subcommand_list, subcommand_count}; }

const CommandDef* CommandDef::find_subcommand(std::string_view word) const noexcept {
    for (const CommandDef& sub : subcommands()) {
        if (sub.name == word) return &sub;
    }
    return nullptr;
}

const FlagDef* CommandDef::find_long(std::string_view long_name) const noexcept {
    for (const FlagDef& flag : flags) {
        if (flag.long_name == long_name) return &flag;
    }
    return nullptr;
}

const FlagDef* CommandDef::find_short(std::string_view character) const noexcept {
    for (const FlagDef& flag : flags) {
        if (flag.short_name != '\0' && character.size() == 1 && character[0] == flag.short_name) return &flag;
    }
    return nullptr;
}

CommandAt CommandAt::subcommand(const CommandDef& sub) const {
    std::string name = program_name ? *program_name + " " + std::string(sub.name) : std::string(sub.name);
    return {&sub, name, name};
}

CommandAt root_command_at(const CommandDef& root, std::optional<std::string> program_name) {
    std::string usage_name = program_name ? *program_name : std::string(root.name);
    return {&root, std::move(usage_name), std::move(program_name)};
}

namespace {

std::string positional_display(const PositionalDef& positional) {
    std::string text = "[" + std::string(positional.value_name) + "]";
    if (positional.multiple) text += "...";
    return text;
}

bool has_options(const CommandDef& definition) {
    return std::any_of(definition.flags.begin(), definition.flags.end(),
                       [](const FlagDef& flag) { return flag.action != FlagAction::Help; });
}

// One line of a help section: the name as styled text and its width.
struct Entry {
    StyledText name;
    std::size_t width = 0;
    std::string_view help;
};

Entry flag_entry(const FlagDef& flag) {
    Entry entry;
    entry.help = flag.help;
    if (flag.short_name != '\0') {
        entry.name.add(std::string("-") + flag.short_name, Style::Literal).add(", ");
        entry.width = 4;
    } else {
        entry.name.add("    ");
        entry.width = 4;
    }
    entry.name.add("--" + std::string(flag.long_name), Style::Literal);
    entry.width += 2 + flag.long_name.size();
    return entry;
}

void add_section(StyledText& out, std::string_view heading, const std::vector<Entry>& entries) {
    if (entries.empty()) return;
    std::size_t width = 0;
    for (const Entry& entry : entries) width = std::max(width, entry.width);
    out.add("\n").add(heading, Style::Heading).add("\n");
    for (const Entry& entry : entries) {
        out.add("  ").add(entry.name).add(std::string(width - entry.width + 2, ' ')).add(entry.help).add("\n");
    }
}

}  // namespace

StyledText usage_string(const CommandAt& command) {
    const CommandDef& definition = *command.definition;
    StyledText out;
    out.add(command.usage_name, Style::Literal);
    if (has_options(definition)) out.add(" [OPTIONS]");
    if (definition.positional != nullptr) out.add(" " + positional_display(*definition.positional));
    if (!definition.subcommands().empty()) out.add(" <COMMAND>");
    return out;
}

StyledText help_text(const CommandAt& command) {
    const CommandDef& definition = *command.definition;
    StyledText out;
    out.add(definition.about).add("\n\n").add("Usage:", Style::Heading).add(" ").add(usage_string(command)).add("\n");

    std::vector<Entry> commands;
    for (const CommandDef& sub : definition.subcommands()) {
        Entry entry;
        entry.name.add(sub.name, Style::Literal);
        entry.width = sub.name.size();
        entry.help = sub.about;
        commands.push_back(std::move(entry));
    }
    add_section(out, "Commands:", commands);

    std::vector<Entry> arguments;
    if (definition.positional != nullptr) {
        Entry entry;
        const std::string display = positional_display(*definition.positional);
        entry.name.add(display);
        entry.width = display.size();
        entry.help = definition.positional->help;
        arguments.push_back(std::move(entry));
    }
    add_section(out, "Arguments:", arguments);

    std::vector<Entry> options;
    for (const FlagDef& flag : definition.flags) options.push_back(flag_entry(flag));
    add_section(out, "Options:", options);
    return out;
}

}  // namespace kelmora::cli
