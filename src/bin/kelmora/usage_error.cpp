#include "usage_error.hpp"

#include <string>

namespace kelmora::cli {

EarlyExit help_request(const CommandAt& command) { return {Stream::Stdout, help_text(command), 0}; }

EarlyExit help_for_missing_arguments(const CommandAt& command) {
    return {Stream::Stderr, help_text(command), usage_error_status};
}

EarlyExit usage_error(const CommandAt& where, const StyledText& message, const std::vector<StyledText>& tips) {
    StyledText out;
    out.add("error:", Style::Error).add(" ").add(message).add("\n");
    if (!tips.empty()) {
        out.add("\n");
        for (const StyledText& tip : tips) out.add("  ").add("tip:", Style::Valid).add(" ").add(tip).add("\n");
    }
    out.add("\n").add("Usage:", Style::Heading).add(" ").add(usage_string(where)).add("\n");
    out.add("\nFor more information, try '").add("--help", Style::Literal).add("'.\n");
    return {Stream::Stderr, std::move(out), usage_error_status};
}

namespace {

// before + value in its style + after: most messages and tips quote one value.
StyledText quoting(std::string_view before, std::string_view value, Style style, std::string_view after) {
    StyledText out;
    out.add(before).add(value, style).add(after);
    return out;
}

}  // namespace

StyledText unrecognized_subcommand(std::string_view typed) {
    return quoting("unrecognized subcommand '", typed, Style::Invalid, "'");
}

StyledText unexpected_argument(std::string_view typed) {
    return quoting("unexpected argument '", typed, Style::Invalid, "' found");
}

StyledText used_multiple_times(std::string_view flag) {
    return quoting("the argument '", flag, Style::Invalid, "' cannot be used multiple times");
}

StyledText unexpected_value(std::string_view value, std::string_view flag) {
    return quoting("unexpected value '", value, Style::Invalid, "' for '")
        .add(quoting("", flag, Style::Literal, "' found; no more were expected"));
}

StyledText invalid_utf8_argument() { return StyledText().add("invalid UTF-8 was detected in one or more arguments"); }

StyledText similar_subcommands_tip(const std::vector<std::string>& names) {
    StyledText out;
    out.add(names.size() == 1 ? "a similar subcommand exists: " : "some similar subcommands exist: ");
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) out.add(", ");
        out.add("'").add(names[i], Style::Valid).add("'");
    }
    return out;
}

StyledText similar_argument_tip(std::string_view flag) {
    return quoting("a similar argument exists: '", flag, Style::Valid, "'");
}

StyledText pass_as_value_tip(std::string_view typed) {
    return quoting("to pass '", typed, Style::Invalid, "' as a value, use '")
        .add(quoting("", "-- " + std::string(typed), Style::Valid, "'"));
}

StyledText subcommand_flag_tip(std::string_view subcommand, std::string_view flag) {
    return quoting("'", std::string(subcommand) + " " + std::string(flag), Style::Valid, "' exists");
}

StyledText remove_double_dash_tip(std::string_view subcommand) {
    return quoting("subcommand '", subcommand, Style::Valid, "' exists; to use it, remove the '")
        .add(quoting("", "--", Style::Literal, "' before it"));
}

}  // namespace kelmora::cli
