#include <gtest/gtest.h>

#include "kelmora/model.hpp"

namespace kelmora {
namespace {

TEST(Model, EnumerationTexts) {
    EXPECT_EQ(unit_text(ConcentrationUnit::Molal), "m");
    EXPECT_EQ(unit_text(ConcentrationUnit::VolumePercent), "vol%");
    EXPECT_EQ(kind_text(CompoundKind::Solvent), "solvent");
    EXPECT_EQ(kind_identifier(CompoundKind::Solvent), "Solvent");
    EXPECT_EQ(basis_text(RatioBasis::Mole), "mol");
}

TEST(Model, AlternativesKeepTheirOrder) {
    Blend blend;
    blend.terms.push_back(BlendTerm{Node(Compound{"EC", CompoundKind::Solvent}), std::nullopt});
    Solution solution{std::make_unique<Node>(Compound{"LiPF6", CompoundKind::Salt}),
                      std::make_unique<Node>(std::move(blend)), Amount{1.0, ConcentrationUnit::Molar}};
    Node node(std::move(solution));
    EXPECT_EQ(node.value.index(), 2u);
    EXPECT_EQ(node_tag(node), "solution");
    const auto* s = node.get_if<Solution>();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->solvent->is<Blend>());
}

}  // namespace
}  // namespace kelmora
