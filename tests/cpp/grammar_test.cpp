// The shorthand grammar: accepted texts and their pairs, refused texts and
// their positional errors, the nesting limit.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "kelmora/parser.hpp"
#include "kelmora/positional_error.hpp"

namespace kelmora {
namespace {

// The pairs as nested text, e.g. "compound(compound_name'EC')": atomic pairs
// show their text, normal pairs their children.
void append_shape(std::string& out, Pair pair) {
    out += rule_name(pair.rule());
    const PairList inner = pair.inner();
    if (inner.empty()) {
        out += "'";
        out += pair.text();
        out += "'";
        return;
    }
    out += "(";
    bool first = true;
    for (Pair child : inner) {
        if (!first) out += " ";
        first = false;
        append_shape(out, child);
    }
    out += ")";
}

std::string shape(const ParsePairs& parsed) {
    std::string out;
    for (Pair pair : parsed.pairs()) append_shape(out, pair);
    return out;
}

PositionalError refusal(std::string_view text) {
    auto parsed = KelmoraParser::parse(Rule::formulation, text);
    EXPECT_FALSE(parsed.has_value()) << "accepted: " << text;
    if (parsed) return {};
    return parsed.error();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t feed = text.find('\n', start);
        lines.push_back(text.substr(start, feed == std::string::npos ? std::string::npos : feed - start));
        if (feed == std::string::npos) return lines;
        start = feed + 1;
    }
}

std::string last_line(const PositionalError& error) { return lines_of(positional_error_text(error)).back(); }

struct WorkedExample {
    std::string text;
    std::size_t position;
    std::vector<std::string> lines;
};

TEST(GrammarErrors, WorkedExamplesShowTheirSixLines) {
    const std::vector<WorkedExample> examples = {
        {"1M LiPF6 in", 11,
         {" --> 1:12", "  |", "1 | 1M LiPF6 in", "  |            ^---", "  |", "  = expected atom"}},
        {"3:7wt", 5, {" --> 1:6", "  |", "1 | 3:7wt", "  |      ^---", "  |", "  = expected number"}},
        {"", 0, {" --> 1:1", "  |", "1 | ", "  | ^---", "  |", "  = expected blend_term"}},
        {"1M LiPF6 in EC\n", 14,
         {" --> 1:15", "  |", "1 | 1M LiPF6 in EC\u240A", "  |               ^---", "  |", "  = expected EOI"}},
        {"1M LiPF6 in EC\r\n", 14,
         {" --> 1:15", "  |", "1 | 1M LiPF6 in EC\u240D\u240A", "  |               ^---", "  |",
          "  = expected EOI"}},
        {"1.", 1, {" --> 1:2", "  |", "1 | 1.", "  |  ^---", "  |", "  = expected EOI or conc_unit"}},
        // A tab before the position stays a tab under it.
        {"\tEC +", 5, {" --> 1:6", "  |", "1 | \tEC +", "  | \t    ^---", "  |", "  = expected blend_term"}},
        // Columns count characters: the subscript takes three bytes, one column.
        {"1M LiPF\u2086 in EC", 7,
         {" --> 1:8", "  |", "1 | 1M LiPF\u2086 in EC", "  |        ^---", "  |", "  = expected EOI"}},
        // Line breaks after a position elsewhere are dropped from the line.
        {"EC + )\r\n", 5, {" --> 1:6", "  |", "1 | EC + )", "  |      ^---", "  |", "  = expected blend_term"}},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.text);
        const PositionalError error = refusal(example.text);
        EXPECT_EQ(error.position, example.position);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(lines_of(positional_error_text(error)), example.lines);
    }
}

struct Refusal {
    std::string text;
    std::size_t column;
    std::string message;
};

TEST(GrammarErrors, RefusedTextsGiveColumnAndExpectedRules) {
    const std::vector<Refusal> refusals = {
        {"EC:DMC3:7wt", 12, "expected number"},
        {"EC:DMC 3:7wt%", 13, "expected EOI"},
        {"EC:DMC 3:7molx", 11, "expected EOI or ratio_basis"},
        {"EC:DMC 3", 8, "expected share_list"},
        {"EC:", 4, "expected compound_name"},
        {"EC +", 5, "expected blend_term"},
        {"(EC", 2, "expected number or name_list"},
        {"(2", 3, "expected conc_unit"},
        {"LiPF6in EC", 9, "expected EOI"},
        {"1M LiPF6 in EC in DMC", 16, "expected EOI"},
        {"2wt%VC", 4, "expected EOI"},
        {"M(TFSI)2", 1, "expected blend_term"},
        {"weight%x", 7, "expected EOI"},
        {"1M LiPF\u2086 in EC", 8, "expected EOI"},
        // Further cases of the notation's edges.
        {" \t ", 4, "expected blend_term"},
        {"wt", 1, "expected blend_term"},
        {"M", 1, "expected blend_term"},
        {"v", 1, "expected blend_term"},
        {"in", 1, "expected blend_term"},
        {"3:7wt%", 6, "expected number"},
        {"Li(N(SO2CF3)2)", 3, "expected EOI"},
        {"Mg(TFSI", 3, "expected EOI"},
        {".5M X in Y", 1, "expected blend_term"},
        {"-1M X in Y", 1, "expected blend_term"},
        {"1e3M X", 6, "expected EOI"},
        {"EC\nDMC", 3, "expected EOI"},
        {"1M LiPF6 in EC\r", 15, "expected EOI"},
    };
    for (const auto& refused : refusals) {
        SCOPED_TRACE(refused.text);
        const PositionalError error = refusal(refused.text);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(error.column, refused.column);
        EXPECT_EQ(last_line(error), "  = " + refused.message);
    }
}

TEST(GrammarErrors, ExpectedListsJoinThreeOrMoreWithCommas) {
    PositionalError error;
    error.expected = {Rule::EOI, Rule::number, Rule::conc_unit};
    EXPECT_EQ(last_line(error), "  = expected EOI, number, or conc_unit");
    error.expected = {Rule::EOI, Rule::number, Rule::conc_unit, Rule::atom};
    EXPECT_EQ(last_line(error), "  = expected EOI, number, conc_unit, or atom");
}

TEST(GrammarErrors, RuleNamesAreTheIdentifiers) {
    EXPECT_EQ(rule_name(Rule::EOI), "EOI");
    EXPECT_EQ(rule_name(Rule::WHITESPACE), "WHITESPACE");
    EXPECT_EQ(rule_name(Rule::paren_group), "paren_group");
    EXPECT_EQ(rule_name(Rule::ratio_mixture), "ratio_mixture");
    EXPECT_EQ(rule_name(Rule::formulation), "formulation");
}

struct Accepted {
    std::string text;
    std::string shape;
};

TEST(GrammarPairs, AcceptedTextsNestAsTheRulesRead) {
    const std::string solution_in_ratio =
        "formulation(blend(blend_term(amount(number'1' conc_unit'M') atom(compound(compound_name'LiPF6')) "
        "atom(ratio_mixture(name_list(compound_name'EC' compound_name'DMC') share_list(number'3' number'7' "
        "ratio_basis'wt'))))) EOI'')";
    const std::vector<Accepted> accepted = {
        {"1M LiPF6 in EC:DMC 3:7wt", solution_in_ratio},
        {" EC ", "formulation(blend(blend_term(atom(compound(compound_name'EC')))) EOI'')"},
        {"1M LiPF6 inEC",
         "formulation(blend(blend_term(amount(number'1' conc_unit'M') atom(compound(compound_name'LiPF6')) "
         "atom(compound(compound_name'EC')))) EOI'')"},
        {"EC+VC",
         "formulation(blend(blend_term(atom(compound(compound_name'EC'))) "
         "blend_term(atom(compound(compound_name'VC')))) EOI'')"},
        {"1MLiPF6 in EC",
         "formulation(blend(blend_term(atom(compound(compound_name'1MLiPF6')) "
         "atom(compound(compound_name'EC')))) EOI'')"},
        {"1 M X in Y",
         "formulation(blend(blend_term(amount(number'1' conc_unit'M') atom(compound(compound_name'X')) "
         "atom(compound(compound_name'Y')))) EOI'')"},
        {"EC : DMC 3 : 7 wt",
         "formulation(blend(blend_term(atom(ratio_mixture(name_list(compound_name'EC' compound_name'DMC') "
         "share_list(number'3' number'7' ratio_basis'wt'))))) EOI'')"},
        {"EC:DMC 3:7",
         "formulation(blend(blend_term(atom(ratio_mixture(name_list(compound_name'EC' compound_name'DMC') "
         "share_list(number'3' number'7'))))) EOI'')"},
        {"EC:DMC 3:7:1wt",
         "formulation(blend(blend_term(atom(ratio_mixture(name_list(compound_name'EC' compound_name'DMC') "
         "share_list(number'3' number'7' number'1' ratio_basis'wt'))))) EOI'')"},
        {"5wt%(EC)",
         "formulation(blend(blend_term(amount(number'5' conc_unit'wt%') "
         "atom(bracketed(blend(blend_term(atom(compound(compound_name'EC')))))))) EOI'')"},
        {"(CH3)2CO", "formulation(blend(blend_term(atom(compound(compound_name'(CH3)2CO')))) EOI'')"},
        {"(EC)2", "formulation(blend(blend_term(atom(compound(compound_name'(EC)2')))) EOI'')"},
        {"(EC)", "formulation(blend(blend_term(atom(bracketed(blend(blend_term(atom(compound(compound_name'EC')"
                 "))))))) EOI'')"},
        {"Mg(TFSI)2", "formulation(blend(blend_term(atom(compound(compound_name'Mg(TFSI)2')))) EOI'')"},
        {"1.5 mol% 007", "formulation(blend(blend_term(amount(number'1.5' conc_unit'mol%') "
                         "atom(compound(compound_name'007')))) EOI'')"},
    };
    for (const auto& text : accepted) {
        SCOPED_TRACE(text.text);
        auto parsed = KelmoraParser::parse(Rule::formulation, text.text);
        ASSERT_TRUE(parsed.has_value()) << positional_error_text(parsed.error());
        EXPECT_EQ(shape(*parsed), text.shape);
    }
}

TEST(GrammarPairs, NamesThatOnlyBeginWithAKeywordAreNames) {
    for (std::string_view name : {"molecule", "inX", "MA", "w2", "mass1", "Mg(TFSI)2", "10EC", "2MeTHF", "in2"}) {
        auto parsed = KelmoraParser::parse(Rule::formulation, name);
        ASSERT_TRUE(parsed.has_value()) << name;
        EXPECT_EQ(shape(*parsed),
                  "formulation(blend(blend_term(atom(compound(compound_name'" + std::string(name) + "')))) EOI'')");
    }
}

TEST(GrammarPairs, SpansKeepSkippedBlanksOfTheEnclosingRule) {
    const std::string text = "  1M LiPF6 in EC:DMC 3:7wt  ";
    auto parsed = KelmoraParser::parse(Rule::formulation, text);
    ASSERT_TRUE(parsed.has_value());
    const Pair formulation = *parsed->pairs().begin();
    EXPECT_EQ(formulation.text(), text);
    const Pair blend = *formulation.inner().begin();
    // The blanks skipped before the "+" that never came.
    EXPECT_EQ(blend.text(), "1M LiPF6 in EC:DMC 3:7wt  ");
    const Pair eoi = *std::next(formulation.inner().begin());
    EXPECT_EQ(eoi.rule(), Rule::EOI);
    EXPECT_EQ(eoi.start(), text.size());
    EXPECT_EQ(eoi.end(), text.size());

    const Pair term = *blend.inner().begin();
    const Pair ratio_atom = *std::next(term.inner().begin(), 2);
    const Pair ratio = *ratio_atom.inner().begin();
    const Pair names = *ratio.inner().begin();
    EXPECT_EQ(names.rule(), Rule::name_list);
    EXPECT_EQ(names.text(), "EC:DMC ");
    EXPECT_EQ(names.inner().size(), 2u);
    EXPECT_EQ(parsed->pairs().size(), 1u);
}

TEST(GrammarPairs, OtherStartRulesMatchAPrefix) {
    auto number = KelmoraParser::parse(Rule::number, "12.5x");
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(shape(*number), "number'12.5'");

    auto amount = KelmoraParser::parse(Rule::amount, "2 wt% VC");
    ASSERT_TRUE(amount.has_value());
    EXPECT_EQ(shape(*amount), "amount(number'2' conc_unit'wt%')");

    auto silent = KelmoraParser::parse(Rule::WHITESPACE, " x");
    ASSERT_TRUE(silent.has_value());
    EXPECT_TRUE(silent->pairs().empty());

    auto unit = KelmoraParser::parse(Rule::conc_unit, "mol");
    ASSERT_FALSE(unit.has_value());
    EXPECT_EQ(last_line(unit.error()), "  = expected conc_unit");
}

std::string repeated(std::string_view piece, std::size_t count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(GrammarNesting, TheSixtyFifthOpenBracketStopsTheParse) {
    const std::string text = repeated("(", 1'000'000);
    const PositionalError error = refusal(text);
    EXPECT_EQ(error.position, 64u);
    EXPECT_EQ(error.column, 65u);
    EXPECT_TRUE(error.expected.empty());
    EXPECT_EQ(last_line(error), "  = brackets nest deeper than 64 levels");
    EXPECT_EQ(lines_of(positional_error_text(error))[0], " --> 1:65");
}

TEST(GrammarNesting, SixtyFourBracketsAreRefusedOrAcceptedAsUsual) {
    EXPECT_EQ(last_line(refusal(repeated("(", 64))), "  = expected blend_term");
    EXPECT_EQ(refusal(repeated("(", 64)).column, 65u);

    const std::string deepest = repeated("(", 64) + "EC" + repeated(")", 64);
    EXPECT_TRUE(KelmoraParser::parse(Rule::formulation, deepest).has_value());

    const std::string too_deep = "X + " + repeated("(", 65) + "EC" + repeated(")", 65);
    const PositionalError error = refusal(too_deep);
    EXPECT_EQ(error.column, 4u + 65u);
    EXPECT_EQ(last_line(error), "  = brackets nest deeper than 64 levels");
}

TEST(GrammarNesting, NameGroupsAreNoBrackets) {
    // 64 brackets around a name that itself starts with a group.
    const std::string text = repeated("(", 64) + "(CH3)2CO" + repeated(")", 64);
    EXPECT_TRUE(KelmoraParser::parse(Rule::formulation, text).has_value());
}

TEST(GrammarNesting, ClosedBracketsNoLongerCount) {
    const std::string level = repeated("(", 64) + "A" + repeated(")", 64);
    const std::string text = level + " + 1wt% " + level;
    EXPECT_TRUE(KelmoraParser::parse(Rule::formulation, text).has_value());
}

}  // namespace
}  // namespace kelmora
