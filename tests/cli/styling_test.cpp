// When help texts and usage errors carry terminal styling: the first of the
// rules NO_COLOR, CLICOLOR_FORCE, CLICOLOR=0, not a terminal, TERM, CLICOLOR,
// CI that applies, decided for each stream on its own.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "process.hpp"

namespace kelmora::testing {
namespace {

const std::string normalise_error_plain =
    "error: unrecognized subcommand 'normalise'\n\n  tip: a similar subcommand exists: 'normalize'\n\n"
    "Usage: kelmora <COMMAND>\n\nFor more information, try '--help'.\n";

const std::string normalise_error_styled =
    "\x1b[1m\x1b[31merror:\x1b[0m unrecognized subcommand '\x1b[33mnormalise\x1b[0m'\n\n"
    "  \x1b[32mtip:\x1b[0m a similar subcommand exists: '\x1b[32mnormalize\x1b[0m'\n\n"
    "\x1b[1m\x1b[4mUsage:\x1b[0m \x1b[1mkelmora\x1b[0m <COMMAND>\n\n"
    "For more information, try '\x1b[1m--help\x1b[0m'.\n";

struct Rule {
    const char* name;
    std::vector<std::string> env;
    Descriptor err;
    bool styled;
};

void PrintTo(const Rule& rule, std::ostream* out) { *out << rule.name; }

class StylingRule : public ::testing::TestWithParam<Rule> {};

TEST_P(StylingRule, DecidesTheUsageErrorOnStandardError) {
    const Rule& rule = GetParam();
    Invocation invocation;
    invocation.args = {"normalise"};
    invocation.env = rule.env;
    invocation.err = rule.err;
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, rule.styled ? normalise_error_styled : normalise_error_plain);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StylingRule,
    ::testing::Values(
        Rule{"pipe_without_variables", {}, Descriptor::Pipe, false},
        Rule{"force", {"CLICOLOR_FORCE=1"}, Descriptor::Pipe, true},
        Rule{"force_with_any_value", {"CLICOLOR_FORCE=0"}, Descriptor::Pipe, true},
        Rule{"empty_force_is_unset", {"CLICOLOR_FORCE="}, Descriptor::Pipe, false},
        Rule{"no_color_beats_force", {"NO_COLOR=1", "CLICOLOR_FORCE=1"}, Descriptor::Pipe, false},
        Rule{"empty_no_color_is_unset", {"NO_COLOR=", "CLICOLOR_FORCE=1"}, Descriptor::Pipe, true},
        Rule{"force_beats_clicolor_0", {"CLICOLOR=0", "CLICOLOR_FORCE=1"}, Descriptor::Pipe, true},
        Rule{"pipe_with_term", {"TERM=xterm-256color", "CLICOLOR=1", "CI=1"}, Descriptor::Pipe, false},
        Rule{"terminal_without_variables", {}, Descriptor::Terminal, false},
        Rule{"terminal_with_term", {"TERM=xterm"}, Descriptor::Terminal, true},
        Rule{"terminal_with_dumb_term", {"TERM=dumb"}, Descriptor::Terminal, false},
        Rule{"clicolor_0_on_terminal", {"TERM=xterm", "CLICOLOR=0"}, Descriptor::Terminal, false},
        Rule{"no_color_on_terminal", {"TERM=xterm", "NO_COLOR=yes"}, Descriptor::Terminal, false},
        Rule{"clicolor_on_dumb_terminal", {"TERM=dumb", "CLICOLOR=1"}, Descriptor::Terminal, true},
        Rule{"clicolor_any_value", {"CLICOLOR=no"}, Descriptor::Terminal, true},
        Rule{"ci_on_dumb_terminal", {"TERM=dumb", "CI=true"}, Descriptor::Terminal, true},
        Rule{"empty_ci_counts", {"CI="}, Descriptor::Terminal, true}),
    [](const ::testing::TestParamInfo<Rule>& info) { return std::string(info.param.name); });

TEST(Styling, EachStreamDecidesForItself) {
    // Help on a terminal stdout is styled; the same help on a piped stderr
    // (a call without arguments) is not.
    Invocation requested;
    requested.args = {"--help"};
    requested.env = {"TERM=xterm"};
    requested.out = Descriptor::Terminal;
    const Outcome on_terminal = run_program(requested);
    EXPECT_EQ(on_terminal.status, 0);
    EXPECT_NE(on_terminal.out.find("\x1b[1m\x1b[4mCommands:\x1b[0m"), std::string::npos);

    Invocation missing;
    missing.env = {"TERM=xterm"};
    missing.out = Descriptor::Terminal;
    const Outcome piped = run_program(missing);
    EXPECT_EQ(piped.status, 2);
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(strip_styling(piped.err), piped.err);
    EXPECT_EQ(piped.err, strip_styling(on_terminal.out));
}

TEST(Styling, HelpTextStyles) {
    Invocation invocation;
    invocation.args = {"to-json", "--help"};
    invocation.env = {"CLICOLOR_FORCE=1"};
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out,
              "Parse shorthand text and print its canonical JSON tree\n\n"
              "\x1b[1m\x1b[4mUsage:\x1b[0m \x1b[1mkelmora to-json\x1b[0m [OPTIONS] [INPUT]\n\n"
              "\x1b[1m\x1b[4mArguments:\x1b[0m\n"
              "  [INPUT]  Formulation string to parse; reads stdin if omitted\n\n"
              "\x1b[1m\x1b[4mOptions:\x1b[0m\n"
              "      \x1b[1m--pretty\x1b[0m  Pretty-print the JSON output\n"
              "  \x1b[1m-h\x1b[0m, \x1b[1m--help\x1b[0m    Print help\n");
}

TEST(Styling, ProgramLinesStayPlainOnAStyledTerminal) {
    Invocation invocation;
    invocation.args = {"normalize", "XYZ"};
    invocation.env = {"TERM=xterm", "CLICOLOR_FORCE=1"};
    invocation.out = Descriptor::Terminal;
    invocation.err = Descriptor::Terminal;
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "XYZ\n");
    EXPECT_EQ(outcome.err.rfind("warning: compound 'XYZ' is not recognized", 0), 0U) << outcome.err;
    EXPECT_EQ(strip_styling(outcome.err), outcome.err);
}

}  // namespace
}  // namespace kelmora::testing
