#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kelmora/validate.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

RatioTerm rt(std::string name, CompoundKind kind, double share = 1) { return {{std::move(name), kind}, share}; }

Node mixed_ratio(std::string solvent_name = "EC") {
    return ratio({rt(std::move(solvent_name), solvent), rt("LiPF6", salt)});
}

std::string listing_of(const std::expected<void, Error>& result) {
    if (result) return "passes";
    const auto* e = result.error().get_if<errors::IncompatibleRatioKinds>();
    return e ? e->listing : std::string(result.error().kind_name());
}

TEST(CheckRatioKinds, KnownKindsMustAgree) {
    struct Case {
        std::vector<RatioTerm> terms;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "passes"},
        {{rt("EC", solvent)}, "passes"},
        {{rt("A", salt), rt("X", unknown), rt("B", salt)}, "passes"},
        {{rt("X", unknown), rt("Y", unknown)}, "passes"},
        {{rt("EC", solvent), rt("DMC", solvent)}, "passes"},
        {{rt("EC", solvent), rt("LiPF6", salt)}, "EC: Solvent, LiPF6: Salt"},
        {{rt("EC", solvent), rt("LiPF6", salt), rt("X9", unknown)}, "EC: Solvent, LiPF6: Salt, X9: Unknown"},
        {{rt("X", unknown), rt("A", salt), rt("B", solvent)}, "X: Unknown, A: Salt, B: Solvent"},
        {{rt("", salt), rt("\xc3\xa9 b", solvent)}, ": Salt, \xc3\xa9 b: Solvent"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(listing_of(check_ratio_kinds(c.terms)), c.expected);
        EXPECT_EQ(listing_of(validate_tree(ratio(c.terms))), c.expected);
    }
}

TEST(ValidateTree, NumbersAndNamesAreNotChecked) {
    EXPECT_TRUE(validate_tree(leaf("")));
    EXPECT_TRUE(validate_tree(ratio({rt("", solvent, 0), rt("B", solvent, -1), rt("C", solvent, nan)})));
    EXPECT_TRUE(validate_tree(blend(term(leaf("A")), term(leaf("B"), wt(-inf)), term(leaf("C"), vol(nan)))));
    EXPECT_TRUE(validate_tree(solution(wt(-3), leaf("A"), leaf("B"))));
    EXPECT_TRUE(validate_tree(solution(vol(inf), leaf("A"), ratio({}))));
}

TEST(ValidateTree, BlendsOfAnyLengthPass) {
    EXPECT_TRUE(validate_tree(blend()));
    EXPECT_TRUE(validate_tree(blend(term(leaf("A")))));
    EXPECT_TRUE(validate_tree(blend(term(leaf("A"), wt(2)))));
    EXPECT_TRUE(validate_tree(blend(term(leaf("A")), term(leaf("B"), wt(2)), term(leaf("C"), mol(1)),
                                    term(leaf("D"), vol(3)))));
    // Each blend counts its own terms only.
    EXPECT_TRUE(validate_tree(blend(term(leaf("A")), term(blend(term(leaf("B")), term(leaf("C"), wt(1))), wt(5)))));
}

std::uint64_t base_count(const std::expected<void, Error>& result) {
    if (result) return 0;
    const auto* e = result.error().get_if<errors::MultipleBaseBlendTerms>();
    return e ? e->count : 999;
}

TEST(ValidateTree, MoreThanOneTermWithoutAmount) {
    EXPECT_EQ(base_count(validate_tree(blend(term(leaf("A")), term(leaf("B"))))), 2u);
    EXPECT_EQ(base_count(validate_tree(blend(term(leaf("A")), term(leaf("B")), term(leaf("C"))))), 3u);
    // The count comes before the terms: the "M" term is not reached.
    EXPECT_EQ(base_count(validate_tree(blend(term(leaf("X"), molar(1)), term(leaf("A")), term(leaf("B"))))), 2u);
    EXPECT_EQ(base_count(validate_tree(blend(term(mixed_ratio()), term(leaf("B"))))), 2u);
    // A nested blend is counted on its own.
    EXPECT_EQ(base_count(validate_tree(blend(term(leaf("A")), term(blend(term(leaf("B")), term(leaf("C"))), wt(1))))),
              2u);
    EXPECT_EQ(base_count(validate_tree(solution(molar(1), leaf("S"), blend(term(leaf("B")), term(leaf("C")))))), 2u);
}

std::string relative_amount(const std::expected<void, Error>& result) {
    if (result) return "passes";
    const auto* e = result.error().get_if<errors::SolutionRelativeUnitOutsideSolution>();
    if (!e) return std::string(result.error().kind_name());
    return std::to_string(e->amount.value) + std::string(unit_text(e->amount.unit));
}

TEST(ValidateTree, SolutionRelativeUnitOnABlendTerm) {
    EXPECT_EQ(relative_amount(validate_tree(blend(term(leaf("A")), term(leaf("B"), molar(1))))), "1.000000M");
    EXPECT_EQ(relative_amount(validate_tree(blend(term(solution(molar(1), leaf("A"), leaf("B")), molal(0.5)),
                                                  term(leaf("C"))))),
              "0.500000m");
    EXPECT_EQ(relative_amount(validate_tree(blend(term(leaf("A"), wt(1)), term(leaf("B"), molar(2)),
                                                  term(leaf("C"), molal(3))))),
              "2.000000M");
    // A term's amount is looked at before its subtree.
    EXPECT_EQ(relative_amount(validate_tree(blend(term(mixed_ratio(), molar(1))))), "1.000000M");
    // Solute amounts may have any unit.
    EXPECT_EQ(relative_amount(validate_tree(solution(molal(1), leaf("A"), leaf("B")))), "passes");
}

TEST(ValidateTree, FirstErrorInPreOrder) {
    // Solute before solvent.
    EXPECT_EQ(listing_of(validate_tree(solution(molar(1), mixed_ratio("A"), mixed_ratio("B")))),
              "A: Solvent, LiPF6: Salt");
    EXPECT_EQ(listing_of(validate_tree(solution(molar(1), leaf("S"), mixed_ratio("B")))), "B: Solvent, LiPF6: Salt");
    // Term by term: the "M" amount of the first term before the second's subtree.
    EXPECT_EQ(relative_amount(validate_tree(blend(term(leaf("A"), molar(1)), term(mixed_ratio())))), "1.000000M");
    EXPECT_EQ(listing_of(validate_tree(blend(term(mixed_ratio("A")), term(leaf("B"), molar(1))))),
              "A: Solvent, LiPF6: Salt");
    // Deeper errors surface through every level.
    EXPECT_EQ(listing_of(validate_tree(blend(
                  term(leaf("A")),
                  term(solution(molar(1), leaf("S"), blend(term(leaf("C")), term(mixed_ratio("D"), wt(1)))), wt(2))))),
              "D: Solvent, LiPF6: Salt");
    EXPECT_EQ(relative_amount(validate_tree(
                  solution(molar(1), leaf("S"), blend(term(leaf("C")), term(solution(molar(1), leaf("D"), leaf("E")),
                                                                           molal(4)))))),
              "4.000000m");
}

}  // namespace
}  // namespace kelmora
