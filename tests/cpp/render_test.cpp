#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "kelmora/render.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

TEST(ShorthandNumber, FollowsTheTable) {
    const NumberCase cases[] = {
        {1, "1"},
        {0.5, "0.5"},
        {0.1, "0.1"},
        {0.3, "0.3"},
        {3.0, "3"},
        {1e-7, "0.0000001"},
        {-2, "-2"},
        {-0.5, "-0.5"},
        {0.0, "0"},
        {-0.0, "0"},
        {std::ldexp(1.0, 60), "1152921504606846976"},
        {1e20, "1" + std::string(20, '0')},
        {123456.789, "123456.789"},
        {-1e22, "-1" + std::string(22, '0')},
        {4503599627370495.5, "4503599627370495.5"},
        {std::numeric_limits<double>::max(),
         "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955863276687"
         "81715404589535143824642343213268894641827684675467035375169860499105765512820762454900903893289440"
         "75868508455133942304583236903222948165808559332123348274797826204144723168738177180919299881250404"
         "026184124858368"},
        {std::numeric_limits<double>::denorm_min(), "0." + std::string(323, '0') + "5"},
        {nan, "NaN"},
        {-nan, "NaN"},
        {inf, "inf"},
        {-inf, "-inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(shorthand_number_text(c.value), c.text) << c.text;
}

TEST(FmtAmount, NumberThenUnitWithoutBlank) {
    EXPECT_EQ(fmt_amount(molar(1)), "1M");
    EXPECT_EQ(fmt_amount(molal(1.5)), "1.5m");
    EXPECT_EQ(fmt_amount(wt(2)), "2wt%");
    EXPECT_EQ(fmt_amount(mol(0.5)), "0.5mol%");
    EXPECT_EQ(fmt_amount(vol(10)), "10vol%");
    EXPECT_EQ(fmt_amount(wt(-0.0)), "0wt%");
    EXPECT_EQ(fmt_amount(molar(inf)), "infM");
}

TEST(Render, WholeTextExamples) {
    EXPECT_EQ(render(solution(molar(1), leaf("LiPF6", salt), ratio({{{"EC", solvent}, 3}, {{"DMC", solvent}, 7}}))),
              "1M LiPF6 in EC:DMC 3:7wt");
    EXPECT_EQ(render(solution(molar(1), leaf("LiPF6", salt), blend(term(leaf("EC")), term(leaf("FEC"), wt(10))))),
              "1M LiPF6 in (EC + 10wt% FEC)");
    EXPECT_EQ(render(solution(molal(2), solution(molar(1), leaf("A"), leaf("B")), leaf("C"))), "2m (1M A in B) in C");
    EXPECT_EQ(render(blend(term(solution(molar(1), leaf("LiPF6"), leaf("EC"))), term(leaf("VC"), wt(2)))),
              "1M LiPF6 in EC + 2wt% VC");
    EXPECT_EQ(render(blend(term(blend(term(leaf("A")), term(leaf("B"), wt(5))), vol(10)), term(leaf("C")))),
              "10vol% (A + 5wt% B) + C");
}

TEST(Render, RatioMixtures) {
    EXPECT_EQ(render(ratio({{{"EC", solvent}, 0.3}, {{"PC", solvent}, 0.7}}, RatioBasis::Mole)), "EC:PC 0.3:0.7mol");
    EXPECT_EQ(render(ratio({{{"EC", solvent}, 30}, {{"DMC", solvent}, 70}, {{"EMC", solvent}, 5}}, RatioBasis::Volume)),
              "EC:DMC:EMC 30:70:5vol");
    EXPECT_EQ(render(ratio({})), " wt");
    EXPECT_EQ(render(ratio({{{"A", unknown}, -1}})), "A -1wt");
    EXPECT_EQ(render_ratio_mixture(RatioMixture{{{{"X", unknown}, nan}, {{"Y", unknown}, 2}}, RatioBasis::Volume}),
              "X:Y NaN:2vol");
}

TEST(Render, BracketsOfSolutionOperands) {
    // Compounds and ratio mixtures stand bare; solutions and blends are bracketed.
    EXPECT_EQ(render(solution(molar(1), ratio({{{"A", salt}, 1}, {{"B", salt}, 1}}), leaf("C"))), "1M A:B 1:1wt in C");
    EXPECT_EQ(render(solution(molar(1), blend(term(leaf("A")), term(leaf("B"), wt(1))), leaf("C"))),
              "1M (A + 1wt% B) in C");
    EXPECT_EQ(render(solution(wt(5), leaf("A"), solution(molar(1), leaf("B"), leaf("C")))), "5wt% A in (1M B in C)");
}

TEST(Render, BlendTerms) {
    // A blend term is bracketed with or without its amount.
    EXPECT_EQ(render(blend(term(blend(term(leaf("A")), term(leaf("B"), wt(1)))), term(leaf("C"), wt(2)))),
              "(A + 1wt% B) + 2wt% C");
    // A solution after an amount keeps its brackets so the text reads back.
    EXPECT_EQ(render(blend(term(solution(molar(1), leaf("LiPF6"), leaf("EC")), wt(2)), term(leaf("EC")))),
              "2wt% (1M LiPF6 in EC) + EC");
    EXPECT_EQ(render_blend_term(term(solution(molar(1), leaf("A"), leaf("B")), mol(3))), "3mol% (1M A in B)");
    EXPECT_EQ(render_blend_term(term(solution(molar(1), leaf("A"), leaf("B")))), "1M A in B");
    EXPECT_EQ(render_blend_term(term(leaf("VC"), wt(2))), "2wt% VC");
    EXPECT_EQ(render_blend_term(term(ratio({{{"A", unknown}, 1}}), vol(4))), "4vol% A 1wt");
}

TEST(Render, TreesTheParserNeverBuilds) {
    EXPECT_EQ(render(blend()), "");
    EXPECT_EQ(render(blend(term(leaf("EC")))), "EC");
    EXPECT_EQ(render(blend(term(leaf("VC"), wt(2)))), "2wt% VC");
    EXPECT_EQ(render(leaf("a name (with) blanks")), "a name (with) blanks");
    EXPECT_EQ(render(leaf("")), "");
    EXPECT_EQ(render(solution(molar(-0.0), leaf("A"), blend())), "0M A in ()");
    EXPECT_EQ(render(blend(term(leaf("A"), molar(1)), term(leaf("B"), molal(-inf)))), "1M A + -infm B");
}

TEST(Render, RenderIsRenderAsTerm) {
    const Node node = blend(term(leaf("A"), wt(1)), term(solution(molar(1), leaf("B"), leaf("C"))));
    EXPECT_EQ(render(node), render_as_term(node));
    EXPECT_EQ(render(node), "1wt% A + 1M B in C");
}

}  // namespace
}  // namespace kelmora
