// Runs every case of the tables under cases/ against the built program:
// once as written and, when the case sets no environment of its own, once
// more with CLICOLOR_FORCE=1, where help texts and usage errors must be the
// same text with styling and everything else must stay byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_table.hpp"
#include "process.hpp"

namespace kelmora::testing {
namespace {

const std::vector<Case>& all_cases() {
    static const std::vector<Case> cases = load_cases(KELMORA_CLI_CASES);
    return cases;
}

Invocation invocation_of(const Case& c) {
    Invocation invocation;
    invocation.args = c.args;
    invocation.argv0 = c.argv0;
    invocation.env = c.env;
    invocation.stdin_data = c.stdin_data;
    return invocation;
}

class CliCase : public ::testing::TestWithParam<Case> {};

TEST_P(CliCase, PrintsExactlyWhatTheTableSays) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.file + ":" + std::to_string(c.line) + ": " + c.name);
    const Outcome outcome = run_program(invocation_of(c));
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.signal, 0);
}

// The cases that set no environment of their own, run again with styling forced.
const std::vector<Case>& unstyled_cases() {
    static const std::vector<Case> cases = [] {
        std::vector<Case> chosen;
        for (const Case& c : all_cases()) {
            if (c.env.empty()) chosen.push_back(c);
        }
        return chosen;
    }();
    return cases;
}

class CliCaseForcedStyling : public ::testing::TestWithParam<Case> {};

TEST_P(CliCaseForcedStyling, ChangesOnlyHelpAndUsageTexts) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.file + ":" + std::to_string(c.line) + ": " + c.name);
    Invocation invocation = invocation_of(c);
    invocation.env.push_back("CLICOLOR_FORCE=1");
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, c.status);
    const auto check = [&](const std::string& stream, const std::string& got, const std::string& expected) {
        if (c.styled == stream) {
            EXPECT_NE(got.find("\x1b["), std::string::npos) << stream << " is not styled";
            EXPECT_EQ(strip_styling(got), expected) << stream;
        } else {
            EXPECT_EQ(got, expected) << stream;
        }
    };
    check("stdout", outcome.out, c.out);
    check("stderr", outcome.err, c.err);
}

std::string test_name(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    for (char ch : info.param.name) {
        const bool word = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (word) name.push_back(ch);
        else if (!name.empty() && name.back() != '_') name.push_back('_');
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Tables, CliCase, ::testing::ValuesIn(all_cases()), test_name);
INSTANTIATE_TEST_SUITE_P(Tables, CliCaseForcedStyling, ::testing::ValuesIn(unstyled_cases()), test_name);

}  // namespace
}  // namespace kelmora::testing
