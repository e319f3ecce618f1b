// Shorthand to a checked tree: the trees, the warnings in their order, and
// which error wins when a text breaks several rules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kelmora/json.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/render.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

std::string unrecognized(std::string_view name) {
    return "compound '" + std::string(name) +
           "' is not recognized in the registry; its kind is being treated as unknown, so kind-based validation "
           "(e.g. ratio same-kind checks) is skipped for it";
}

std::string mixing(std::string_view solution) {
    return "'" + std::string(solution) +
           "' mixes 'in' and '+' without brackets around the 'in' expression; by default 'in' binds tighter than "
           "'+' (as if parenthesized). Add explicit parentheses to make this unambiguous.";
}

ParseOutcome accepted(std::string_view text) {
    auto outcome = parse_and_validate(text);
    EXPECT_TRUE(outcome.has_value()) << text << ": " << outcome.error().message();
    if (!outcome) return {};
    return std::move(*outcome);
}

Error refused(std::string_view text) {
    auto outcome = parse_and_validate(text);
    EXPECT_FALSE(outcome.has_value()) << text << " built " << render(outcome->tree);
    if (outcome) return errors::MissingUnits{};
    return std::move(outcome.error());
}

struct Built {
    std::string text;
    Node tree;
    std::vector<std::string> warnings;
};

TEST(TreeBuilding, BuildsTheTreesOfTheNotation) {
    std::vector<Built> cases;
    cases.push_back({"1M LiPF6 in EC:DMC 3:7wt",
                     solution(molar(1), leaf("LiPF6", salt), ratio({{{"EC", solvent}, 3}, {{"DMC", solvent}, 7}})),
                     {}});
    // A lone term's percentage says nothing and is dropped.
    cases.push_back({"5wt% VC", leaf("VC", solvent), {}});
    cases.push_back({"(10wt% VC)", leaf("VC", solvent), {}});
    cases.push_back({"5 mol% EC:DMC 1:1vol",
                     ratio({{{"EC", solvent}, 1}, {{"DMC", solvent}, 1}}, RatioBasis::Volume),
                     {}});
    cases.push_back({"2wt% LiPF6 in EC", solution(wt(2), leaf("LiPF6", salt), leaf("EC", solvent)), {}});
    cases.push_back({"1M LiPF6 in EC + 2wt% VC",
                     blend(term(solution(molar(1), leaf("LiPF6", salt), leaf("EC", solvent))),
                           term(leaf("VC", solvent), wt(2))),
                     {mixing("1M LiPF6 in EC")}});
    cases.push_back({"(1M LiPF6 in EC) + 2wt% VC",
                     blend(term(solution(molar(1), leaf("LiPF6", salt), leaf("EC", solvent))),
                           term(leaf("VC", solvent), wt(2))),
                     {}});
    cases.push_back({"1 molar LiPF6 in EC + 2wt% VC",
                     blend(term(solution(molar(1), leaf("LiPF6", salt), leaf("EC", solvent))),
                           term(leaf("VC", solvent), wt(2))),
                     {mixing("1M LiPF6 in EC")}});
    cases.push_back({"1M LiPF6 inEC", solution(molar(1), leaf("LiPF6", salt), leaf("EC", solvent)), {}});
    cases.push_back({"1M LiPF6 in (EC:DMC 3:7wt + 2wt% VC)",
                     solution(molar(1), leaf("LiPF6", salt),
                              blend(term(ratio({{{"EC", solvent}, 3}, {{"DMC", solvent}, 7}})),
                                    term(leaf("VC", solvent), wt(2)))),
                     {}});
    // Canonical labels replace what was typed: other case, synonyms, keys
    // whose label differs.
    cases.push_back({"ec", leaf("EC", solvent), {}});
    cases.push_back({"VinyleneCarbonate", leaf("VC", solvent), {}});
    cases.push_back({"(CH3)2CO", leaf("Acetone", solvent), {}});
    cases.push_back({"AceticAcid", leaf("CH3CO2H", unknown), {}});
    cases.push_back({"(EC)2", leaf("(EC)2", unknown), {unrecognized("(EC)2")}});
    cases.push_back({"EC:Foo 1:1wt", ratio({{{"EC", solvent}, 1}, {{"Foo", unknown}, 1}}), {unrecognized("Foo")}});
    cases.push_back({"EC:DMC 0:0mass", ratio({{{"EC", solvent}, 0}, {{"DMC", solvent}, 0}}), {}});
    cases.push_back({"EC : DMC 0.25 : 5 mole", ratio({{{"EC", solvent}, 0.25}, {{"DMC", solvent}, 5}}, RatioBasis::Mole),
                     {}});
    // Every unit and basis spelling.
    cases.push_back({"1molal X in Y", solution(molal(1), leaf("X"), leaf("Y")), {unrecognized("X"), unrecognized("Y")}});
    cases.push_back({"1m X in Y", solution(molal(1), leaf("X"), leaf("Y")), {unrecognized("X"), unrecognized("Y")}});
    cases.push_back({"EC + 1w% VC + 2mass% PC + 3weight% FEC + 4mole% DMC + 5volume% DEC + 6vol% EMC",
                     blend(term(leaf("EC", solvent)), term(leaf("VC", solvent), wt(1)), term(leaf("PC", solvent), wt(2)),
                           term(leaf("FEC", solvent), wt(3)), term(leaf("DMC", solvent), mol(4)),
                           term(leaf("DEC", solvent), vol(5)), term(leaf("EMC", solvent), vol(6))),
                     {}});
    cases.push_back({"EC:DMC 1:1w", ratio({{{"EC", solvent}, 1}, {{"DMC", solvent}, 1}}), {}});
    cases.push_back({"EC:DMC 1:1weight", ratio({{{"EC", solvent}, 1}, {{"DMC", solvent}, 1}}), {}});
    cases.push_back({"EC:DMC 1:1v", ratio({{{"EC", solvent}, 1}, {{"DMC", solvent}, 1}}, RatioBasis::Volume), {}});
    cases.push_back({"EC:DMC 1:1volume", ratio({{{"EC", solvent}, 1}, {{"DMC", solvent}, 1}}, RatioBasis::Volume),
                     {}});
    cases.push_back({"EC:DMC 1:1mol", ratio({{{"EC", solvent}, 1}, {{"DMC", solvent}, 1}}, RatioBasis::Mole), {}});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ParseOutcome outcome = accepted(c.text);
        EXPECT_EQ(to_json_text(outcome.tree), to_json_text(c.tree));
        EXPECT_EQ(outcome.warnings, c.warnings);
    }
}

TEST(TreeBuilding, WarningsComeDepthFirstWithDuplicatesKept) {
    const ParseOutcome outcome = accepted("1M Foo in Bar:Baz 1:1wt + 2wt% Qux + 5wt% (1wt% Foo + 1M Zed in EC)");
    const std::vector<std::string> expected = {
        unrecognized("Foo"), unrecognized("Bar"), unrecognized("Baz"), mixing("1M Foo in Bar:Baz 1:1wt"),
        unrecognized("Qux"), unrecognized("Foo"), unrecognized("Zed"), mixing("1M Zed in EC"),
    };
    EXPECT_EQ(outcome.warnings, expected);
    EXPECT_EQ(render(outcome.tree), "1M Foo in Bar:Baz 1:1wt + 2wt% Qux + 5wt% (1wt% Foo + 1M Zed in EC)");
}

struct Refused {
    std::string text;
    std::string message;
};

TEST(TreeBuilding, ChecksFailWithTheirError) {
    const std::string relative =
        " is a solution-relative unit and is only meaningful relative to a solvent; it must be the concentration "
        "in a '<amount> <salt> in <solvent>' expression, not a bare term added with '+' (or standing alone)";
    const std::string missing_amount =
        "'in' requires a concentration before it, e.g. '1M LiPF6 in EC' -- no amount was given";
    const std::string missing_units =
        "a ratio (x:y) must state its basis explicitly, e.g. '3:7wt' -- there is no sensible default to assume "
        "for a bare '3:7', since it could plausibly mean a weight, mole, or volume ratio";
    const auto mismatch = [](int names, int shares) {
        return "ratio has " + std::to_string(names) + " name(s) but " + std::to_string(shares) +
               " share value(s); these lists must be the same length";
    };
    const auto bases = [](int count) {
        return "a blend ('+') may have at most one component with no explicit amount (the implicit base/majority "
               "component); found " +
               std::to_string(count);
    };
    const std::vector<Refused> cases = {
        {"1M LiPF6", "1M" + relative},
        {"(1M LiPF6)", "1M" + relative},
        {"EC + 0.5m LiPF6", "0.5m" + relative},
        {"2 molar X", "2M" + relative},
        // The term's error comes before the blend's count.
        {"EC + DMC + 1M LiPF6", "1M" + relative},
        {"EC + DMC", bases(2)},
        {"EC+VC", bases(2)},
        {"1M LiPF6 in EC + 1M LiBF4 in DMC", bases(2)},
        {"(1M LiPF6 in EC) + (1M LiBF4 in DMC)", bases(2)},
        {"EC + DMC + PC", bases(3)},
        {"LiPF6 in EC", missing_amount},
        {"1MLiPF6 in EC", missing_amount},
        {"EC + (LiPF6 in EC)", missing_amount},
        {"EC:DMC 3:7", missing_units},
        // A missing basis is reported before the count.
        {"EC:DMC 1:2:3", missing_units},
        {"EC:DMC 1:2:3wt", mismatch(2, 3)},
        {"EC:DMC 3:7:1wt", mismatch(2, 3)},
        {"EC:DMC:EMC 1:2 wt", mismatch(3, 2)},
        {"EC:LiPF6 1:1wt",
         "ratio mixture combines incompatible compound kinds (EC: Solvent, LiPF6: Salt); all named components in a "
         "ratio (x:y) must be the same kind (e.g. all solvents, or all salts) unless their kind is unrecognized"},
        {"EC\n", "parse error:  --> 1:3\n  |\n1 | EC\u240A\n  |   ^---\n  |\n  = expected EOI"},
        {"EC + 1M LiPF6 in\tDMC \u00E9",
         "parse error:  --> 1:22\n  |\n1 | EC + 1M LiPF6 in\tDMC \u00E9\n  |                 \t    ^---\n  |\n"
         "  = expected EOI"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(refused(c.text).message(), c.message);
    }
}

TEST(TreeBuilding, ErrorsCarryTheirPayload) {
    const Error relative = refused("EC + 3.5m X");
    ASSERT_TRUE(relative.is<errors::SolutionRelativeUnitOutsideSolution>());
    EXPECT_EQ(relative.get_if<errors::SolutionRelativeUnitOutsideSolution>()->amount.value, 3.5);
    EXPECT_EQ(relative.get_if<errors::SolutionRelativeUnitOutsideSolution>()->amount.unit, ConcentrationUnit::Molal);

    const Error counts = refused("A:B:C 1:2wt");
    ASSERT_TRUE(counts.is<errors::RatioShareCountMismatch>());
    EXPECT_EQ(counts.get_if<errors::RatioShareCountMismatch>()->names, 3u);
    EXPECT_EQ(counts.get_if<errors::RatioShareCountMismatch>()->shares, 2u);

    const Error parse = refused("EC +");
    ASSERT_TRUE(parse.is<errors::ParseError>());
    const PositionalError& position = *parse.get_if<errors::ParseError>()->positional;
    EXPECT_EQ(position.position, 4u);
    EXPECT_EQ(position.column, 5u);
    EXPECT_EQ(position.expected, std::vector<Rule>{Rule::blend_term});
}

TEST(TreeBuilding, RefusalsOfTheGrammarAreParseErrors) {
    for (std::string_view text :
         {"1M LiPF6 in", "3:7wt", "", "1.", "EC:DMC3:7wt", "LiPF6in EC", "weight%x", "Li(N(SO2CF3)2)", "1e3M X",
          "2wt%VC", "M(TFSI)2", "Mg(TFSI", "(EC", "wt", "in", " \t "}) {
        SCOPED_TRACE(text);
        auto grammar = KelmoraParser::parse(Rule::formulation, text);
        ASSERT_FALSE(grammar.has_value());
        EXPECT_EQ(refused(text).message(), "parse error: " + positional_error_text(grammar.error()));
    }
}

TEST(TreeBuilding, NumbersReadAsTheNearestFloat) {
    const auto share_of = [](std::string digits) {
        const ParseOutcome outcome = accepted("EC:DMC " + digits + ":1wt");
        const auto* mixture = outcome.tree.get_if<RatioMixture>();
        return mixture ? mixture->terms.front().share : std::nan("");
    };
    EXPECT_EQ(share_of("0.1"), 0.1);
    EXPECT_EQ(share_of("007"), 7.0);
    // Halfway cases go to the even neighbour.
    EXPECT_EQ(share_of("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(share_of("9007199254740995"), 9007199254740996.0);
    EXPECT_EQ(share_of("1.00000000000000011102230246251565404236316680908203125"), 1.0);
    EXPECT_EQ(share_of("1.00000000000000011102230246251565404236316680908203126"), 1.0 + 0x1p-52);
    EXPECT_EQ(share_of("1" + std::string(308, '0')), 1e308);
    EXPECT_EQ(share_of("1" + std::string(309, '0')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(share_of("0." + std::string(323, '0') + "5"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(share_of("0." + std::string(325, '0') + "1"), 0.0);
    EXPECT_FALSE(std::signbit(share_of("0." + std::string(400, '0') + "9")));
}

TEST(TreeBuilding, AnInfiniteAmountStaysAndRendersAsInf) {
    const ParseOutcome outcome = accepted("1" + std::string(400, '0') + "M LiPF6 in EC");
    const auto* solution = outcome.tree.get_if<Solution>();
    ASSERT_NE(solution, nullptr);
    EXPECT_TRUE(std::isinf(solution->solute_amount.value));
    EXPECT_EQ(render(outcome.tree), "infM LiPF6 in EC");
}

std::string repeated(std::string_view piece, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(TreeBuilding, SixtyFourLevelsBuildAndRenderBack) {
    const std::string deepest = repeated("2wt% A + 1M B in (", 64) + "2wt% A + C" + repeated(")", 64);
    const ParseOutcome outcome = accepted(deepest);
    EXPECT_EQ(render(outcome.tree), deepest);
    // Each level warns about A and B, then about its unbracketed solution.
    ASSERT_EQ(outcome.warnings.size(), 64u * 3u + 2u);
    EXPECT_EQ(outcome.warnings[0], unrecognized("A"));
    EXPECT_EQ(outcome.warnings[1], unrecognized("B"));
    EXPECT_EQ(outcome.warnings.back().substr(0, 9), "'1M B in ");

    const std::string plain = repeated("(", 64) + "EC" + repeated(")", 64);
    EXPECT_EQ(render(accepted(plain).tree), "EC");

    const Error deeper = refused(repeated("2wt% A + 1M B in (", 65) + "C" + repeated(")", 65));
    ASSERT_TRUE(deeper.is<errors::ParseError>());
    EXPECT_EQ(deeper.get_if<errors::ParseError>()->positional->fixed_message, "brackets nest deeper than 64 levels");
    EXPECT_EQ(deeper.get_if<errors::ParseError>()->positional->column, 64u * 18u + 18u);
}

TEST(TreeBuilding, AMillionOpenBracketsStopAtTheLimit) {
    const Error error = refused(std::string(1'000'000, '('));
    EXPECT_EQ(error.message(), "parse error:  --> 1:65\n  |\n1 | " + std::string(1'000'000, '(') + "\n  | " +
                                   std::string(64, ' ') + "^---\n  |\n  = brackets nest deeper than 64 levels");
}

TEST(TreeBuilding, GivenRegistryIsSearchedFirst) {
    CompoundRegistry registry;
    registry.extra_entries.emplace("Foo", CompoundInfo{CompoundKind::Salt, std::nullopt, std::nullopt, "LiFoo"});
    auto outcome = parse_and_validate_with_registry("1M foo in EC", registry);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(render(outcome->tree), "1M LiFoo in EC");
    EXPECT_TRUE(outcome->warnings.empty());
}

TEST(TreeBuilding, ParsesRunSideBySide) {
    const std::vector<std::string> texts = {"1M LiPF6 in EC:DMC 3:7wt + 2wt% VC", "ec:dmc 1:1vol", "EC + DMC", "Foo"};
    std::vector<std::string> expected;
    for (const auto& text : texts) {
        auto outcome = parse_and_validate(text);
        expected.push_back(outcome ? render(outcome->tree) : outcome.error().message());
    }
    std::vector<std::vector<std::string>> seen(4);
    std::vector<std::thread> threads;
    for (auto& results : seen) {
        threads.emplace_back([&texts, &results] {
            for (int round = 0; round < 200; ++round)
                for (const auto& text : texts) {
                    auto outcome = parse_and_validate(text);
                    results.push_back(outcome ? render(outcome->tree) : outcome.error().message());
                }
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& results : seen) {
        ASSERT_EQ(results.size(), 200u * texts.size());
        for (std::size_t i = 0; i < results.size(); ++i) ASSERT_EQ(results[i], expected[i % texts.size()]);
    }
}

}  // namespace
}  // namespace kelmora
