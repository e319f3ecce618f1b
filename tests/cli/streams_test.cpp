// The program's standard streams as real processes see them: pipes whose
// reader has gone, descriptors closed at start, unreadable input, and very
// large input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "process.hpp"

namespace kelmora::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* unknown_compound_warning =
    "warning: compound 'XYZ' is not recognized in the registry; its kind is being treated as unknown, so kind-based "
    "validation (e.g. ratio same-kind checks) is skipped for it\n";

constexpr const char* empty_text_error =
    "error: parse error:  --> 1:1\n  |\n1 | \n  | ^---\n  |\n  = expected blend_term\n";

Invocation command(std::vector<std::string> args) {
    Invocation invocation;
    invocation.args = std::move(args);
    return invocation;
}

bool is_internal_error_report(const std::string& text, const std::string& message) {
    static const std::regex frame("internal error at src/bin/kelmora/[a-z_]+\\.cpp:[0-9]+:[0-9]+:\n(.*)\n");
    std::smatch match;
    return std::regex_match(text, match, frame) && match[1] == message;
}

TEST(BrokenPipe, ResultToAPipeWithoutReaderIsAnInternalError) {
    for (const auto& args : {std::vector<std::string>{"normalize", "EC"}, {"to-json", "--pretty", "EC"},
                             {"from-json", R"({"node_type":"compound","name":"EC","kind":"solvent"})"}}) {
        Invocation invocation = command(args);
        invocation.out = Descriptor::BrokenPipe;
        const Outcome outcome = run_program(invocation);
        EXPECT_EQ(outcome.signal, 0) << args[0];
        EXPECT_EQ(outcome.status, 101) << args[0];
        EXPECT_TRUE(is_internal_error_report(outcome.err, "failed printing to stdout: Broken pipe (os error 32)"))
            << outcome.err;
    }
}

TEST(FailedWrite, TheSystemsTextAndNumberAreReported) {
    Invocation invocation = command({"normalize", "EC"});
    invocation.out = Descriptor::Full;
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, 101);
    EXPECT_TRUE(is_internal_error_report(outcome.err, "failed printing to stdout: No space left on device (os error 28)"))
        << outcome.err;
}

TEST(BrokenPipe, WarningOrErrorLineToAPipeWithoutReaderEndsWith101) {
    // The report itself cannot be written either; only the status tells.
    for (const auto& args : {std::vector<std::string>{"normalize", "XYZ"}, {"normalize", ""}}) {
        Invocation invocation = command(args);
        invocation.err = Descriptor::BrokenPipe;
        const Outcome outcome = run_program(invocation);
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_EQ(outcome.status, 101) << args[1];
        EXPECT_EQ(outcome.out, "") << "nothing follows a failed warning";
    }
}

TEST(BrokenPipe, HelpAndUsageTextsIgnoreTheFailure) {
    struct Row {
        std::vector<std::string> args;
        Descriptor out, err;
        int status;
    };
    for (const Row& row : {Row{{"--help"}, Descriptor::BrokenPipe, Descriptor::Pipe, 0},
                           Row{{"help", "to-json"}, Descriptor::BrokenPipe, Descriptor::Pipe, 0},
                           Row{{}, Descriptor::Pipe, Descriptor::BrokenPipe, 2},
                           Row{{"normalise"}, Descriptor::Pipe, Descriptor::BrokenPipe, 2}}) {
        Invocation invocation = command(row.args);
        invocation.out = row.out;
        invocation.err = row.err;
        const Outcome outcome = run_program(invocation);
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(ClosedAtStart, StandardOutputDiscardsTheResult) {
    Invocation invocation = command({"normalize", "XYZ"});
    invocation.out = Descriptor::Closed;
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, unknown_compound_warning);
}

TEST(ClosedAtStart, StandardErrorDiscardsWarningsAndErrors) {
    Invocation warning = command({"normalize", "XYZ"});
    warning.err = Descriptor::Closed;
    const Outcome warned = run_program(warning);
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.out, "XYZ\n");

    Invocation failure = command({"normalize", "1M"});
    failure.err = Descriptor::Closed;
    const Outcome failed = run_program(failure);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
}

TEST(ClosedAtStart, StandardInputReadsAsEmptyText) {
    Invocation shorthand = command({"normalize"});
    shorthand.in = Descriptor::Closed;
    const Outcome parsed = run_program(shorthand);
    EXPECT_EQ(parsed.status, 1);
    EXPECT_EQ(parsed.err, empty_text_error);

    Invocation json = command({"from-json"});
    json.in = Descriptor::Closed;
    const Outcome read = run_program(json);
    EXPECT_EQ(read.status, 1);
    EXPECT_EQ(read.err, "error: EOF while parsing a value at line 1 column 0\n");
}

TEST(ClosedAtStart, AllThreeClosed) {
    Invocation invocation = command({"to-json", "EC"});
    invocation.in = invocation.out = invocation.err = Descriptor::Closed;
    EXPECT_EQ(run_program(invocation).status, 0);
}

TEST(UnreadableInput, ADirectoryOnStandardInputFailsToRead) {
    for (const char* subcommand : {"normalize", "to-json", "from-json"}) {
        Invocation invocation = command({subcommand});
        invocation.in = Descriptor::Directory;
        const Outcome outcome = run_program(invocation);
        EXPECT_EQ(outcome.status, 1) << subcommand;
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "error: failed to read stdin\n");
    }
}

TEST(LargeInput, OneMillionOpeningBracketsHitTheNestingLimit) {
    Invocation invocation = command({"normalize"});
    invocation.stdin_data = std::string(1'000'000, '(');
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_THAT(outcome.err, StartsWith("error: parse error:  --> 1:65\n"));
    EXPECT_THAT(outcome.err, ::testing::EndsWith("\n  = brackets nest deeper than 64 levels\n"));
}

TEST(LargeInput, LongBlendComesBackWhole) {
    std::string text = "EC";
    std::string expected = "EC";
    for (int i = 0; i < 20000; ++i) {
        text += " + 1wt% VC";
        expected += " + 1wt% VC";
    }
    Invocation invocation = command({"normalize"});
    invocation.stdin_data = text;
    const Outcome outcome = run_program(invocation);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, expected + "\n");
}

TEST(Pipeline, ToJsonOutputReadsBackWithFromJson) {
    for (bool pretty : {false, true}) {
        Invocation to_json = command({"to-json"});
        if (pretty) to_json.args.push_back("--pretty");
        to_json.args.push_back("1 molar LiPF6 in (EC:DMC 3:7 w + 2 wt% VC)");
        const Outcome written = run_program(to_json);
        ASSERT_EQ(written.status, 0);
        ASSERT_THAT(written.out, ::testing::EndsWith("}\n"));

        Invocation from_json = command({"from-json"});
        from_json.stdin_data = written.out;
        const Outcome read = run_program(from_json);
        EXPECT_EQ(read.status, 0) << read.err;
        EXPECT_EQ(read.out, "1M LiPF6 in (EC:DMC 3:7wt + 2wt% VC)\n");
        EXPECT_EQ(read.err, "");
    }
}

}  // namespace
}  // namespace kelmora::testing
