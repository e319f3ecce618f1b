#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "kelmora/battinfo.hpp"
#include "kelmora/parser.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

constexpr std::string_view context_text =
    R"(["https://w3id.org/emmo/domain/battery/context",)"
    R"({"chemical":"https://w3id.org/emmo/domain/chemical-substance#",)"
    R"("emmo":"https://w3id.org/emmo#","unit":"https://qudt.org/vocab/unit/"}])";

// Expected documents are written laid out for reading; blanks and line
// breaks outside strings are dropped before comparing.
std::string compact(std::string_view text) {
    std::string out;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            out += c;
            if (c == '\\' && i + 1 < text.size()) {
                out += text[++i];
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
            out += c;
        } else if (c != ' ' && c != '\n') {
            out += c;
        }
    }
    return out;
}

// A whole document: "@context" always sorts first, the members follow.
std::string document(std::string_view members) {
    std::string out = "{\"@context\":" + std::string(context_text);
    const std::string rest = compact(members);
    if (!rest.empty()) out += "," + rest;
    return out + "}";
}

// The "hasMeasuredProperty" member as the export writes it.
std::string measured(std::string_view property, std::string_view unit, std::string_view number) {
    return R"("hasMeasuredProperty":{"@type":")" + std::string(property) + R"(","hasMeasurementUnit":")" +
           std::string(unit) + R"(","hasNumericalPart":{"@type":"emmo:RealData","hasNumberValue":)" +
           std::string(number) + "}}";
}

std::string mass(std::string_view number) { return measured("MassFraction", "unit:PERCENT", number); }

std::string exported(const Node& node) {
    const CompoundRegistry registry;
    return json_value_text(to_battinfo_jsonld(node, registry));
}

std::string exported(std::string_view shorthand) {
    auto outcome = parse_and_validate(shorthand);
    if (!outcome) return "parse failed: " + outcome.error().message();
    return exported(outcome->tree);
}

TEST(BattinfoDocument, LoneKnownCompoundIsTypedByItsLabelAlone) {
    EXPECT_EQ(exported("EC"),
              R"({"@context":["https://w3id.org/emmo/domain/battery/context",)"
              R"({"chemical":"https://w3id.org/emmo/domain/chemical-substance#","emmo":"https://w3id.org/emmo#",)"
              R"("unit":"https://qudt.org/vocab/unit/"}],"@type":"chemical:EthyleneCarbonate"})");
}

struct DocumentCase {
    std::string_view shorthand;
    std::string expected;
};

class BattinfoShorthand : public testing::TestWithParam<DocumentCase> {};

TEST_P(BattinfoShorthand, ExportsTheWholeDocument) {
    EXPECT_EQ(exported(GetParam().shorthand), GetParam().expected) << GetParam().shorthand;
}

const std::string ec_solvent = R"({"@type":["Solvent","chemical:EthyleneCarbonate"]})";
const std::string vc_additive_2wt =
    R"({"@type":["Additive","chemical:VinyleneCarbonate"],)" + mass("2.0") + "}";
const std::string lipf6_solute_1m = R"({"@type":["Solute","chemical:LithiumHexafluorophosphate"],)" +
                                    measured("AmountConcentration", "unit:MOL-PER-L", "1.0") + "}";

INSTANTIATE_TEST_SUITE_P(
    Examples, BattinfoShorthand,
    testing::Values(
        DocumentCase{"Foo", document(R"("@type": [], "rdfs:label": "Foo")")},
        // A record without a preferred label: the role alone, as a string.
        DocumentCase{"1M NaFSI in EC",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasSolute": {"@type": "Solute", )" +
                              measured("AmountConcentration", "unit:MOL-PER-L", "1.0") + R"(,
                                     "rdfs:label": "NaFSI"},
                                 "hasSolvent": )" + ec_solvent)},
        DocumentCase{"ec", document(R"("@type": "chemical:EthyleneCarbonate")")},
        DocumentCase{"EC:DMC 3:7wt",
                     document(R"("hasConstituent": [
                                   {"@type": "chemical:EthyleneCarbonate", )" + mass("30.0") + R"(},
                                   {"@type": "chemical:DimethylCarbonate", )" + mass("70.0") + "}]")},
        // The quotient first, then times 100: not 33.333333333333336.
        DocumentCase{"EC:DMC:EMC 1:1:1mol",
                     document(R"("hasConstituent": [
                                   {"@type": "chemical:EthyleneCarbonate", )" +
                              measured("MoleFraction", "unit:PERCENT", "33.33333333333333") + R"(},
                                   {"@type": "chemical:DimethylCarbonate", )" +
                              measured("MoleFraction", "unit:PERCENT", "33.33333333333333") + R"(},
                                   {"@type": "chemical:EthylMethylCarbonate", )" +
                              measured("MoleFraction", "unit:PERCENT", "33.33333333333333") + "}]")},
        DocumentCase{"EC:DMC 0:0wt",
                     document(R"("hasConstituent": [
                                   {"@type": "chemical:EthyleneCarbonate", )" + mass("0.0") + R"(},
                                   {"@type": "chemical:DimethylCarbonate", )" + mass("0.0") + "}]")},
        DocumentCase{"EC + 2wt% VC",
                     document(R"("hasAdditive": )" + vc_additive_2wt + R"(,
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        DocumentCase{"EC + 2wt% VC + 1wt% FEC",
                     document(R"("hasAdditive": [)" + vc_additive_2wt + R"(,
                                   {"@type": ["Additive", "chemical:FluoroethyleneCarbonate"], )" +
                              mass("1.0") + R"(}],
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        // Additives written before the base keep their own order.
        DocumentCase{"2wt% VC + EC",
                     document(R"("hasAdditive": )" + vc_additive_2wt + R"(,
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        DocumentCase{"(1M LiPF6 in EC) + 2wt% VC",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasAdditive": )" + vc_additive_2wt + R"(,
                                 "hasSolute": )" + lipf6_solute_1m + R"(,
                                 "hasSolvent": )" + ec_solvent)},
        // The solvent blend and its base leaf both carry the role.
        DocumentCase{"1M LiPF6 in (EC + 2wt% VC)",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasSolute": )" + lipf6_solute_1m + R"(,
                                 "hasSolvent": {"@type": "Solvent",
                                                "hasAdditive": )" + vc_additive_2wt + R"(,
                                                "hasSolvent": )" + ec_solvent + "}")},
        // The 5 wt% of a mixture additive is written nowhere.
        DocumentCase{"EC + 5wt% (DMC:EMC 1:1vol)",
                     document(R"("hasAdditive": [
                                   {"@type": ["Additive", "chemical:DimethylCarbonate"], )" +
                              measured("VolumeFraction", "unit:PERCENT", "50.0") + R"(},
                                   {"@type": ["Additive", "chemical:EthylMethylCarbonate"], )" +
                              measured("VolumeFraction", "unit:PERCENT", "50.0") + R"(}],
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        // Nor is the amount of a solution additive.
        DocumentCase{"EC + 5wt% (1M LiPF6 in DMC)",
                     document(R"("hasAdditive": {"@type": "Additive",
                                                 "hasSolute": )" + lipf6_solute_1m + R"(,
                                                 "hasSolvent": {"@type": ["Solvent", "chemical:DimethylCarbonate"]}},
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        // The solute amount of a salt mixture is written nowhere either.
        DocumentCase{"1M LiPF6:LiBF4 1:3mol in EC",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasSolute": [
                                   {"@type": ["Solute", "chemical:LithiumHexafluorophosphate"], )" +
                              measured("MoleFraction", "unit:PERCENT", "25.0") + R"(},
                                   {"@type": ["Solute", "chemical:LithiumTetrafluoroborate"], )" +
                              measured("MoleFraction", "unit:PERCENT", "75.0") + R"(}],
                                 "hasSolvent": )" + ec_solvent)},
        // A solute blend and its base leaf both carry the role.
        DocumentCase{"1M (LiPF6 + 10mol% LiBF4) in EC",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasSolute": {"@type": "Solute",
                                               "hasAdditive": {"@type": ["Additive", "chemical:LithiumTetrafluoroborate"], )" +
                              measured("MoleFraction", "unit:PERCENT", "10.0") + R"(},
                                               "hasSolute": {"@type": ["Solute", "chemical:LithiumHexafluorophosphate"]}},
                                 "hasSolvent": )" + ec_solvent)},
        DocumentCase{"EC:DMC 3:7wt + 2wt% VC",
                     document(R"("hasAdditive": )" + vc_additive_2wt + R"(,
                                 "hasConstituent": [
                                   {"@type": "chemical:EthyleneCarbonate", )" + mass("30.0") + R"(},
                                   {"@type": "chemical:DimethylCarbonate", )" + mass("70.0") + "}]")},
        // An additive blend with a base and additives of its own: one object
        // whose "hasAdditive" lists the base, then its additives.
        DocumentCase{"EC + 5wt% (DMC + 2wt% VC + 1wt% FEC)",
                     document(R"("hasAdditive": {"@type": "Additive",
                                                 "hasAdditive": [
                                                   {"@type": ["Additive", "chemical:DimethylCarbonate"]},
                                                   )" + vc_additive_2wt + R"(,
                                                   {"@type": ["Additive", "chemical:FluoroethyleneCarbonate"], )" +
                              mass("1.0") + R"(}]},
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        DocumentCase{"EC + 5wt% (EC:DMC 1:1wt + 2wt% VC)",
                     document(R"("hasAdditive": {"@type": "Additive",
                                                 "hasAdditive": [
                                                   [{"@type": ["Additive", "chemical:EthyleneCarbonate"], )" +
                              mass("50.0") + R"(},
                                                    {"@type": ["Additive", "chemical:DimethylCarbonate"], )" +
                              mass("50.0") + R"(}],
                                                   )" + vc_additive_2wt + R"(]},
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        // A solution base keeps its own object; its additives go into it.
        DocumentCase{"EC + 5wt% (1M LiPF6 in DMC + 2wt% VC)",
                     document(R"("hasAdditive": {"@type": "Additive",
                                                 "hasAdditive": )" + vc_additive_2wt + R"(,
                                                 "hasSolute": )" + lipf6_solute_1m + R"(,
                                                 "hasSolvent": {"@type": ["Solvent", "chemical:DimethylCarbonate"]}},
                                 "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})")},
        DocumentCase{"1m LiPF6 in EC + 2mol% VC + 3vol% FEC",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasAdditive": [
                                   {"@type": ["Additive", "chemical:VinyleneCarbonate"], )" +
                              measured("MoleFraction", "unit:PERCENT", "2.0") + R"(},
                                   {"@type": ["Additive", "chemical:FluoroethyleneCarbonate"], )" +
                              measured("VolumeFraction", "unit:PERCENT", "3.0") + R"(}],
                                 "hasSolute": {"@type": ["Solute", "chemical:LithiumHexafluorophosphate"], )" +
                              measured("AmountConcentration", "unit:MOL-PER-KiloGM", "1.0") + R"(},
                                 "hasSolvent": )" + ec_solvent)},
        DocumentCase{"1M LiPF6 in EC:DMC 3:7wt",
                     document(R"("@type": "OrganicElectrolyte",
                                 "hasSolute": )" + lipf6_solute_1m + R"(,
                                 "hasSolvent": [
                                   {"@type": ["Solvent", "chemical:EthyleneCarbonate"], )" + mass("30.0") + R"(},
                                   {"@type": ["Solvent", "chemical:DimethylCarbonate"], )" + mass("70.0") + "}]")}));

// Trees that only JSON text or Python objects can carry.
TEST(BattinfoTree, EmptyBlendHoldsOnlyTheContext) {
    EXPECT_EQ(exported(blend()), document(""));
}

TEST(BattinfoTree, BlendOfAdditivesOnlyHasNoConstituent) {
    EXPECT_EQ(exported(blend(term(leaf("VC"), wt(2)))), document(R"("hasAdditive": )" + vc_additive_2wt));
}

TEST(BattinfoTree, OnlyTheFirstBaseTermIsExported) {
    EXPECT_EQ(exported(blend(term(leaf("EC")), term(leaf("DMC")))),
              document(R"("hasConstituent": {"@type": "chemical:EthyleneCarbonate"})"));
}

TEST(BattinfoTree, NonFiniteNumbersAreNull) {
    EXPECT_EQ(exported(solution(molar(nan), leaf("LiPF6"), leaf("EC"))),
              document(R"("@type": "OrganicElectrolyte",
                          "hasSolute": {"@type": ["Solute", "chemical:LithiumHexafluorophosphate"], )" +
                       measured("AmountConcentration", "unit:MOL-PER-L", "null") + R"(},
                          "hasSolvent": )" + ec_solvent));
    EXPECT_EQ(exported(blend(term(leaf("EC")), term(leaf("VC"), wt(-inf)))),
              document(R"("hasAdditive": {"@type": ["Additive", "chemical:VinyleneCarbonate"], )" +
                       mass("null") + R"(},
                          "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})"));
}

struct ShareCase {
    double first;
    double second;
    std::string_view first_percent;
    std::string_view second_percent;
};

TEST(BattinfoTree, PercentOfEachShare) {
    const ShareCase cases[] = {
        {1, 3, "25.0", "75.0"},
        {-1, 3, "-50.0", "150.0"},
        // A total that is not above zero gives +0 for every term.
        {1, -3, "0.0", "0.0"},
        {-0.0, -0.0, "0.0", "0.0"},
        {nan, 1, "0.0", "0.0"},
        // The quotient keeps its sign: -0 of a positive total.
        {-0.0, 5, "-0.0", "100.0"},
        {inf, 1, "null", "0.0"},
        {inf, -inf, "0.0", "0.0"},
    };
    for (const ShareCase& c : cases) {
        EXPECT_EQ(exported(ratio({{{"EC"}, c.first}, {{"DMC"}, c.second}})),
                  document(R"("hasConstituent": [
                                {"@type": "chemical:EthyleneCarbonate", )" + mass(c.first_percent) + R"(},
                                {"@type": "chemical:DimethylCarbonate", )" + mass(c.second_percent) + "}]"))
            << c.first << ":" << c.second;
    }
}

TEST(BattinfoTree, EmptyRatioMixtureIsAnEmptyConstituentList) {
    EXPECT_EQ(exported(ratio({})), document(R"("hasConstituent": [])"));
}

TEST(BattinfoTree, NamesAreLookedUpIgnoringCaseAndLabelledAsWritten) {
    // KFSI with the Kelvin sign lower-cases to kfsi: found, but without a
    // preferred label, so the name stays as the tree holds it.
    EXPECT_EQ(exported(solution(molar(0.5), leaf("\u212AFSI"), leaf("ec"))),
              document(R"("@type": "OrganicElectrolyte",
                          "hasSolute": {"@type": "Solute", )" +
                       measured("AmountConcentration", "unit:MOL-PER-L", "0.5") + ",\"rdfs:label\":\"\u212AFSI\"}," +
                       R"("hasSolvent": )" + ec_solvent));
    EXPECT_EQ(exported(leaf("EC ")), document(R"("@type": [], "rdfs:label": "EC ")"));
}

TEST(BattinfoTree, AdditiveBlendWithoutAdditivesOfItsOwn) {
    EXPECT_EQ(exported(blend(term(leaf("EC")), term(blend(term(leaf("DMC"))), wt(5)))),
              document(R"("hasAdditive": {"@type": "Additive",
                                          "hasAdditive": {"@type": ["Additive", "chemical:DimethylCarbonate"]}},
                          "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})"));
    // With no base either it is an empty object.
    EXPECT_EQ(exported(blend(term(leaf("EC")), term(blend(), wt(5)))),
              document(R"("hasAdditive": {}, "hasConstituent": {"@type": "chemical:EthyleneCarbonate"})"));
}

TEST(BattinfoTree, ExtraEntriesOfTheGivenRegistryAreUsed) {
    CompoundRegistry registry;
    registry.extra_entries["Foo"] = CompoundInfo{CompoundKind::Solvent, std::nullopt, "FooSubstance", "Foo"};
    registry.extra_entries["EC"] = CompoundInfo{CompoundKind::Solvent, std::nullopt, std::nullopt, "EC"};
    EXPECT_EQ(json_value_text(to_battinfo_jsonld(ratio({{{"foo"}, 1}, {{"EC"}, 1}}), registry)),
              document(R"("hasConstituent": [
                            {"@type": "chemical:FooSubstance", )" + mass("50.0") + R"(},
                            {"@type": [], )" + mass("50.0") + R"(, "rdfs:label": "EC"}])"));
}

TEST(BattinfoParts, EachArmOnItsOwn) {
    const CompoundRegistry registry;
    EXPECT_EQ(json_value_text(compound_leaf_to_jsonld({"Foo"}, std::nullopt, std::nullopt, registry)),
              R"({"@type":[],"rdfs:label":"Foo"})");
    EXPECT_EQ(json_value_text(compound_leaf_to_jsonld({"EC"}, BattinfoRole::Solvent,
                                                      BattinfoShare{RatioBasis::Volume, 12.5}, registry)),
              compact(R"({"@type": ["Solvent", "chemical:EthyleneCarbonate"], )" +
                      measured("VolumeFraction", "unit:PERCENT", "12.5") + "}"));

    // A quantity handed to anything but a leaf is not written.
    const Amount five = wt(5);
    EXPECT_EQ(json_value_text(node_in_role(ratio({{{"EC"}, 1}}), BattinfoRole::Additive, std::cref(five), registry)),
              compact(R"([{"@type": ["Additive", "chemical:EthyleneCarbonate"], )" + mass("100.0") + "}]"));
    EXPECT_EQ(json_value_text(node_in_role(solution(molar(1), leaf("Foo"), leaf("Bar")), BattinfoRole::Additive,
                                           std::cref(five), registry)),
              compact(R"({"@type": "Additive",
                          "hasSolute": {"@type": "Solute", )" +
                      measured("AmountConcentration", "unit:MOL-PER-L", "1.0") + R"(, "rdfs:label": "Foo"},
                          "hasSolvent": {"@type": "Solvent", "rdfs:label": "Bar"}})"));
    EXPECT_EQ(json_value_text(node_in_role(leaf("EC"), std::nullopt, std::cref(five), registry)),
              compact(R"({"@type": "chemical:EthyleneCarbonate", )" + mass("5.0") + "}"));

    const RatioMixture mixture{{{{"EC"}, 1}, {{"DMC"}, 3}}, RatioBasis::Mole};
    EXPECT_EQ(json_value_text(ratio_mixture_to_jsonld(mixture, std::nullopt, registry)),
              compact(R"([{"@type": "chemical:EthyleneCarbonate", )" +
                      measured("MoleFraction", "unit:PERCENT", "25.0") + R"(},
                          {"@type": "chemical:DimethylCarbonate", )" +
                      measured("MoleFraction", "unit:PERCENT", "75.0") + "}]"));
    EXPECT_EQ(json_value_text(blend_to_jsonld(Blend{}, BattinfoRole::Solvent, registry)), "{}");
}

TEST(BattinfoParts, NumbersAreAlwaysFloats) {
    const CompoundRegistry registry;
    const Amount one = molar(1);
    const JsonValue leaf_value = compound_leaf_to_jsonld({"Foo"}, std::nullopt, std::cref(one), registry);
    const JsonValue* number = leaf_value.get_if<JsonValue::Object>()
                                  ->find("hasMeasuredProperty")
                                  ->get_if<JsonValue::Object>()
                                  ->find("hasNumericalPart")
                                  ->get_if<JsonValue::Object>()
                                  ->find("hasNumberValue");
    ASSERT_NE(number, nullptr);
    ASSERT_TRUE(number->is<double>());
    EXPECT_EQ(*number->get_if<double>(), 1.0);
}

}  // namespace
}  // namespace kelmora
