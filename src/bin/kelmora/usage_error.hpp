// The texts that end a run before any subcommand runs: help texts and usage
// errors, with the stream and exit status they go with.
#pragma once

#include <string_view>
#include <vector>

#include "command_definition.hpp"
#include "styled_text.hpp"

namespace kelmora::cli {

enum class Stream : unsigned char { Stdout, Stderr };

struct EarlyExit {
    Stream stream;
    StyledText text;
    int status;
};

inline constexpr int usage_error_status = 2;

// A requested help text: standard output, status 0.
EarlyExit help_request(const CommandAt& command);
// The help shown for a call without arguments: standard error, status 2.
EarlyExit help_for_missing_arguments(const CommandAt& command);

// "error: " and the message, the tips, the usage line of `where` and the
// pointer to --help; standard error, status 2.
EarlyExit usage_error(const CommandAt& where, const StyledText& message, const std::vector<StyledText>& tips = {});

// Messages and tips; `typed` is what the user wrote, made readable.
StyledText unrecognized_subcommand(std::string_view typed);
StyledText unexpected_argument(std::string_view typed);
StyledText used_multiple_times(std::string_view flag);
StyledText unexpected_value(std::string_view value, std::string_view flag);
StyledText invalid_utf8_argument();

StyledText similar_subcommands_tip(const std::vector<std::string>& names);
StyledText similar_argument_tip(std::string_view flag);
StyledText pass_as_value_tip(std::string_view typed);
StyledText subcommand_flag_tip(std::string_view subcommand, std::string_view flag);
StyledText remove_double_dash_tip(std::string_view subcommand);

}  // namespace kelmora::cli
