#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kelmora/content.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"

namespace kelmora {
namespace {

struct Case {
    std::string text;
    std::string expected;  // "ok" when the text reads
};

// Replay errors carry no position: the display text is the message alone.
std::string outcome(std::string_view text) {
    auto tree = read_json_tree(text);
    if (tree) return "ok";
    EXPECT_EQ(tree.error().line, 0u) << text;
    return tree.error().display();
}

void expect_cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(outcome(c.text), c.expected) << "text: " << c.text;
}

std::string compound_with(const std::string& members) { return R"({"node_type":"compound",)" + members + "}"; }

const std::string lipf6 = R"({"node_type":"compound","name":"LiPF6","kind":"salt"})";
const std::string ec = R"({"node_type":"compound","name":"EC","kind":"solvent"})";

std::string solution_with(const std::string& solute, const std::string& amount) {
    return R"({"node_type":"solution","solute":)" + solute + R"(,"solvent":)" + ec + R"(,"solute_amount":)" + amount + "}";
}
std::string blend_of(const std::string& terms) { return R"({"node_type":"blend","terms":[)" + terms + "]}"; }

TEST(ReplayFields, CompoundFields) {
    expect_cases({
        {compound_with(R"("name":"EC")"), "missing field `kind`"},
        {compound_with(R"("kind":"salt")"), "missing field `name`"},
        {compound_with(R"("name":"EC","kind":"Solvent")"),
         "unknown variant `Solvent`, expected one of `salt`, `solvent`, `unknown`"},
        {compound_with(R"("name":7,"kind":"solvent")"), "invalid type: integer `7`, expected a string"},
        {compound_with(R"("name":"EC","name":"EC","kind":"solvent")"), "duplicate field `name`"},
        // The duplicate is found before its value is looked at.
        {compound_with(R"("name":"EC","kind":"solvent","name":7)"), "duplicate field `name`"},
        // A field's error comes before the missing fields.
        {compound_with(R"("kind":"bogus")"), "unknown variant `bogus`, expected one of `salt`, `solvent`, `unknown`"},
        {compound_with(R"("name":"","kind":"unknown")"), "ok"},
        {compound_with(R"("name":1.5,"kind":"salt")"), "invalid type: floating point `1.5`, expected a string"},
        {compound_with(R"("name":2.0,"kind":"salt")"), "invalid type: floating point `2.0`, expected a string"},
        {compound_with(R"("name":1e20,"kind":"salt")"), "invalid type: floating point `1e+20`, expected a string"},
        {compound_with(R"("name":-3,"kind":"salt")"), "invalid type: integer `-3`, expected a string"},
        {compound_with(R"("name":null,"kind":"salt")"), "invalid type: null, expected a string"},
        {compound_with(R"("name":false,"kind":"salt")"), "invalid type: boolean `false`, expected a string"},
        {compound_with(R"("name":["EC"],"kind":"salt")"), "invalid type: sequence, expected a string"},
        {compound_with(R"("name":{},"kind":"salt")"), "invalid type: map, expected a string"},
        // Unknown keys, with any content and repeated, are skipped.
        {compound_with(R"("name":"EC","kind":"solvent","note":[1,{"x":null}],"note":2)"), "ok"},
        {compound_with(R"("n\u0061me":"EC","kind":"solvent")"), "ok"},
    });
}

TEST(ReplayFields, Enumerations) {
    expect_cases({
        {compound_with(R"("name":"EC","kind":{"solvent":null})"), "ok"},
        {compound_with(R"("name":"EC","kind":{"solvent":{}})"), "ok"},
        {compound_with(R"("name":"EC","kind":{})"), "invalid value: map, expected map with a single key"},
        {compound_with(R"("name":"EC","kind":{"solvent":null,"salt":null})"),
         "invalid value: map, expected map with a single key"},
        {compound_with(R"("name":"EC","kind":{"solvent":1})"), "invalid type: integer `1`, expected unit"},
        {compound_with(R"("name":"EC","kind":{"solvent":[]})"), "invalid type: sequence, expected unit"},
        {compound_with(R"("name":"EC","kind":{"solvent":{"a":null}})"), "invalid type: map, expected unit"},
        {compound_with(R"("name":"EC","kind":{"Solvent":null})"),
         "unknown variant `Solvent`, expected one of `salt`, `solvent`, `unknown`"},
        {compound_with(R"("name":"EC","kind":5)"), "invalid type: integer `5`, expected string or map"},
        {compound_with(R"("name":"EC","kind":null)"), "invalid type: null, expected string or map"},
        {compound_with(R"("name":"EC","kind":["solvent"])"), "invalid type: sequence, expected string or map"},
        // The unknown name stands unescaped.
        {compound_with(R"("name":"EC","kind":"a\"b\n")"),
         "unknown variant `a\"b\n`, expected one of `salt`, `solvent`, `unknown`"},
        {R"({"node_type":"ratio_mixture","terms":[],"basis":"weight"})",
         "unknown variant `weight`, expected one of `wt`, `mol`, `vol`"},
        {solution_with(lipf6, R"({"value":1,"unit":"mM"})"),
         "unknown variant `mM`, expected one of `M`, `m`, `wt%`, `mol%`, `vol%`"},
    });
}

TEST(ReplayFields, ArrayForms) {
    expect_cases({
        {R"(["compound","EC","solvent"])", "ok"},
        {R"(["compound","EC"])", "invalid length 1, expected struct Compound with 2 elements"},
        {R"(["compound"])", "invalid length 0, expected struct Compound with 2 elements"},
        {R"(["compound","EC","solvent",1])", "invalid length 3, expected 2 elements in sequence"},
        // Elements are read as they come, before the count is judged.
        {R"(["compound",7])", "invalid type: integer `7`, expected a string"},
        {R"(["compound","EC","solvent",1,2,3])", "invalid length 5, expected 2 elements in sequence"},
        {R"(["blend",[]])", "ok"},
        {R"(["blend"])", "invalid length 0, expected struct Blend with 1 element"},
        {R"(["blend",[],1])", "invalid length 2, expected 1 element in sequence"},
        {R"(["solution",["compound","LiPF6","salt"],[0,"EC","solvent"],[1,"M"]])", "ok"},
        {R"(["solution",["compound","LiPF6","salt"],[0,"EC","solvent"]])",
         "invalid length 2, expected struct Solution with 3 elements"},
        {R"(["ratio_mixture",[[["EC","solvent"],3]],"wt"])", "ok"},
        {R"(["ratio_mixture",[[["EC","solvent"]]],"wt"])",
         "invalid length 1, expected struct RatioTerm with 2 elements"},
        {R"(["ratio_mixture",[],"wt",null])", "invalid length 3, expected 2 elements in sequence"},
        // An array form has no optional element.
        {blend_of(R"([["compound","EC","solvent"],null])"), "ok"},
        {blend_of(R"([["compound","EC","solvent"]])"), "invalid length 1, expected struct BlendTerm with 2 elements"},
        {solution_with(lipf6, "[1]"), "invalid length 1, expected struct Amount with 2 elements"},
        {solution_with(lipf6, R"([1,"M",2])"), "invalid length 3, expected 2 elements in sequence"},
    });
}

TEST(ReplayFields, AmountsAndFloats) {
    expect_cases({
        {solution_with(lipf6, R"({"value":1,"unit":"M"})"), "ok"},
        {solution_with(lipf6, R"({"value":true,"unit":"M"})"), "invalid type: boolean `true`, expected f64"},
        {solution_with(lipf6, R"({"value":null,"unit":"M"})"), "invalid type: null, expected f64"},
        {solution_with(lipf6, R"({"value":"1","unit":"M"})"), "invalid type: string \"1\", expected f64"},
        {solution_with(lipf6, R"({"value":[],"unit":"M"})"), "invalid type: sequence, expected f64"},
        {solution_with(lipf6, "5"), "invalid type: integer `5`, expected struct Amount"},
        {solution_with(lipf6, "\"1M\""), "invalid type: string \"1M\", expected struct Amount"},
        {solution_with(lipf6, R"({"unit":"M"})"), "missing field `value`"},
        {R"({"node_type":"solution","solute":)" + lipf6 + "}", "missing field `solvent`"},
        {R"({"node_type":"solution","solute":)" + lipf6 + R"(,"solvent":)" + ec + "}", "missing field `solute_amount`"},
        {blend_of(R"({"node":)" + ec + "}"), "ok"},
        {blend_of(R"({"node":)" + ec + R"(,"amount":null})"), "ok"},
        {blend_of(R"({"node":)" + ec + R"(,"amount":5})"), "invalid type: integer `5`, expected struct Amount"},
        {blend_of(R"({"node":)" + ec + R"(,"amount":{"value":2,"unit":"wt%"}})"), "ok"},
        {blend_of(R"({"amount":null})"), "missing field `node`"},
        {blend_of("5"), "invalid type: integer `5`, expected struct BlendTerm"},
        {R"({"node_type":"blend","terms":{}})", "invalid type: map, expected a sequence"},
        {R"({"node_type":"blend"})", "missing field `terms`"},
        {R"({"node_type":"blend","terms":[]})", "ok"},
        {R"({"node_type":"ratio_mixture","terms":[],"basis":"vol"})", "ok"},
        {R"({"node_type":"ratio_mixture","terms":[{"compound":5,"share":1}],"basis":"vol"})",
         "invalid type: integer `5`, expected struct Compound"},
        {R"({"node_type":"ratio_mixture","terms":null,"basis":"vol"})", "invalid type: null, expected a sequence"},
    });
}

TEST(ReplayFields, StringDescriptionsEscape) {
    EXPECT_EQ(outcome(solution_with(lipf6, R"({"value":"a\"\\\t\n\r\u0000\u0007\u00e9\u200b\u0301 x","unit":"M"})")),
              "invalid type: string \"a\\\"\\\\\\t\\n\\r\\0\\u{7}\xC3\xA9\\u{200b}\\u{301} x\", expected f64");
}

TEST(ReplayNodes, NestedNodes) {
    expect_cases({
        {solution_with(R"({"node_type":0,"name":"LiPF6","kind":"salt"})", R"([1,"M"])"), "ok"},
        {solution_with(R"({"node_type":4,"name":"LiPF6","kind":"salt"})", R"([1,"M"])"),
         "invalid value: integer `4`, expected variant index 0 <= i < 4"},
        {solution_with(R"({"node_type":-1})", R"([1,"M"])"), "invalid type: integer `-1`, expected variant identifier"},
        {solution_with(R"({"node_type":1.0})", R"([1,"M"])"),
         "invalid type: floating point `1.0`, expected variant identifier"},
        {solution_with(R"({"node_type":null})", R"([1,"M"])"), "invalid type: null, expected variant identifier"},
        {solution_with(R"({"node_type":"salt"})", R"([1,"M"])"),
         "unknown variant `salt`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`"},
        {solution_with(R"({"name":"LiPF6","kind":"salt"})", R"([1,"M"])"), "missing field `node_type`"},
        {solution_with("[]", R"([1,"M"])"), "missing field `node_type`"},
        {solution_with(R"(["compound","LiPF6","salt"])", R"([1,"M"])"), "ok"},
        {solution_with(R"([0,"LiPF6","salt"])", R"([1,"M"])"), "ok"},
        {solution_with(R"([9,"LiPF6","salt"])", R"([1,"M"])"),
         "invalid value: integer `9`, expected variant index 0 <= i < 4"},
        {solution_with("5", R"([1,"M"])"), "invalid type: integer `5`, expected internally tagged enum Node"},
        {solution_with("\"EC\"", R"([1,"M"])"), "invalid type: string \"EC\", expected internally tagged enum Node"},
        {solution_with(R"({"node_type":"compound","node_type":"compound","name":"LiPF6","kind":"salt"})", "5"),
         "duplicate field `node_type`"},
        // The tag is judged while the pairs are walked, before any field.
        {solution_with(R"({"name":7,"node_type":"bogus"})", R"([1,"M"])"),
         "unknown variant `bogus`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`"},
        {solution_with(R"({"name":7,"node_type":"compound"})", R"([1,"M"])"),
         "invalid type: integer `7`, expected a string"},
        // Depth first: the solute's error comes before the solution's own.
        {solution_with(R"({"node_type":"compound","name":"LiPF6"})", "5"), "missing field `kind`"},
        // A plain Compound skips a node_type key.
        {R"({"node_type":"ratio_mixture","terms":[{"compound":{"node_type":"blend","name":"EC","kind":"solvent"},"share":1}],"basis":"wt"})",
         "ok"},
        {blend_of(R"({"node":{"node_type":3,"terms":[]},"amount":null})"), "ok"},
    });
}

TEST(ReplayNodes, ReadsTheValuesThatWereWritten) {
    auto tree = read_json_tree(
        R"({"note":{"node_type":"x"},"terms":[{"node":{"kind":"salt","name":"LiPF6","node_type":"compound"},"amount":{"unit":"mol%","value":-0}},)"
        R"({"amount":null,"node":["ratio_mixture",[{"share":30e-1,"compound":["EC","solvent"]},[["PC",{"unknown":{}}],3]],{"vol":null}]}],"node_type":"blend"})");
    ASSERT_TRUE(tree.has_value()) << tree.error().display();
    const Blend* b = tree->get_if<Blend>();
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->terms.size(), 2u);
    ASSERT_TRUE(b->terms[0].amount.has_value());
    EXPECT_EQ(b->terms[0].amount->unit, ConcentrationUnit::MolePercent);
    EXPECT_TRUE(std::signbit(b->terms[0].amount->value));
    EXPECT_EQ(b->terms[0].node.get_if<Compound>()->name, "LiPF6");
    EXPECT_FALSE(b->terms[1].amount.has_value());
    const RatioMixture* r = b->terms[1].node.get_if<RatioMixture>();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->basis, RatioBasis::Volume);
    ASSERT_EQ(r->terms.size(), 2u);
    EXPECT_EQ(r->terms[0].share, 3.0);
    EXPECT_EQ(r->terms[1].compound.name, "PC");
    EXPECT_EQ(r->terms[1].compound.kind, CompoundKind::Unknown);
}

// Builders for buffered values the way the Python reader makes them.
Content str(std::string_view s) { return Content::owned_string(std::string(s)); }
Content bytes(std::string_view s) { return Content::owned_bytes(std::string(s)); }
template <class... V>
Content array(V&&... values) {
    Content::Array a;
    (a.push_back(std::forward<V>(values)), ...);
    return Content(std::move(a));
}
ContentPair kv(Content key, Content value) { return ContentPair{std::move(key), std::move(value)}; }
template <class... P>
Content object(P&&... pairs) {
    Content::Object o;
    (o.push_back(std::forward<P>(pairs)), ...);
    return Content(std::move(o));
}
Content compound(Content name, Content kind) {
    return object(kv(str("node_type"), str("compound")), kv(str("name"), std::move(name)), kv(str("kind"), std::move(kind)));
}

std::string python_outcome(Content&& c) {
    auto tree = replay_node(std::move(c), ValueStyle::Python);
    if (tree) return "ok";
    EXPECT_EQ(tree.error().line, 0u);
    return tree.error().display();
}

std::string solute_outcome(Content solute, Content amount = array(std::uint8_t{1}, str("M"))) {
    return python_outcome(object(kv(str("node_type"), str("solution")), kv(str("solute"), std::move(solute)),
                                 kv(str("solvent"), compound(str("EC"), str("solvent"))),
                                 kv(str("solute_amount"), std::move(amount))));
}

TEST(ReplayPythonStyle, DescriptionsOfNoneAndFloats) {
    const struct {
        double value;
        const char* expected;
    } floats[] = {
        {1.5, "invalid type: floating point `1.5`, expected a string"},
        {2.0, "invalid type: floating point `2.0`, expected a string"},
        {-0.0, "invalid type: floating point `-0.0`, expected a string"},
        {1e20, "invalid type: floating point `100000000000000000000.0`, expected a string"},
        {1e-7, "invalid type: floating point `0.0000001`, expected a string"},
        {std::nan(""), "invalid type: floating point `NaN`, expected a string"},
        {std::numeric_limits<double>::infinity(), "invalid type: floating point `inf`, expected a string"},
        {-std::numeric_limits<double>::infinity(), "invalid type: floating point `-inf`, expected a string"},
    };
    for (const auto& f : floats) EXPECT_EQ(solute_outcome(compound(Content(f.value), str("salt"))), f.expected);
    EXPECT_EQ(solute_outcome(compound(Content::null(), str("salt"))), "invalid type: unit value, expected a string");
    EXPECT_EQ(solute_outcome(compound(str("X"), str("salt")), array(Content::null(), str("M"))),
              "invalid type: unit value, expected f64");
    // The same values described for JSON text.
    auto json = replay_node(compound(Content(1e20), str("salt")), ValueStyle::Json);
    ASSERT_FALSE(json.has_value());
    EXPECT_EQ(json.error().message, "invalid type: floating point `1e+20`, expected a string");
}

TEST(ReplayPythonStyle, KindsThatJsonNeverMakes) {
    const struct {
        Content (*make)();
        const char* expected;
    } names[] = {
        {[] { return Content(char32_t{'x'}); }, "invalid type: character `x`, expected a string"},
        {[] { return Content(Content::Newtype{std::make_unique<Content>(str("EC"))}); },
         "invalid type: newtype struct, expected a string"},
        {[] { return Content(Content::None{}); }, "invalid type: Option value, expected a string"},
        {[] { return Content::some(str("EC")); }, "invalid type: Option value, expected a string"},
        {[] { return bytes("EC"); }, "ok"},
        {[] { return bytes("E\xFF"); }, "invalid value: byte array, expected a string"},
        {[] { return Content(std::int8_t{-5}); }, "invalid type: integer `-5`, expected a string"},
        {[] { return Content(std::uint16_t{300}); }, "invalid type: integer `300`, expected a string"},
        {[] { return Content(0.25f); }, "invalid type: floating point `0.25`, expected a string"},
    };
    for (const auto& n : names) EXPECT_EQ(solute_outcome(compound(n.make(), str("salt"))), n.expected);
    EXPECT_EQ(solute_outcome(compound(str("EC"), bytes("salt"))), "invalid type: byte array, expected string or map");
    EXPECT_EQ(solute_outcome(compound(str("EC"), object(kv(bytes("salt"), Content::null())))), "ok");
    EXPECT_EQ(solute_outcome(compound(str("EC"), object(kv(bytes("s\xC3\x28x"), Content::null())))),
              "unknown variant `s\xEF\xBF\xBD(x`, expected one of `salt`, `solvent`, `unknown`");
    EXPECT_EQ(solute_outcome(Content(Content::None{})), "invalid type: Option value, expected internally tagged enum Node");
    EXPECT_EQ(solute_outcome(compound(str("X"), str("salt")), Content::some(array(std::uint8_t{1}, str("M")))),
              "invalid type: Option value, expected struct Amount");
}

TEST(ReplayPythonStyle, IntegerPositionsOnlyForEightAndSixtyFourBits) {
    // Struct keys.
    auto keyed = [](Content key0, Content key1) {
        return object(kv(str("node_type"), str("compound")), kv(std::move(key0), str("EC")),
                      kv(std::move(key1), str("solvent")));
    };
    EXPECT_EQ(solute_outcome(keyed(Content(std::uint8_t{0}), Content(std::uint64_t{1}))), "ok");
    EXPECT_EQ(solute_outcome(keyed(Content(std::uint16_t{0}), str("kind"))),
              "invalid type: integer `0`, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(str("name"), Content(std::uint32_t{1000}))),
              "invalid type: integer `1000`, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(str("name"), Content(std::int64_t{-1}))),
              "invalid type: integer `-1`, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(str("name"), Content(std::uint64_t{1} << 40))), "missing field `kind`");
    EXPECT_EQ(solute_outcome(keyed(str("name"), Content(true))), "invalid type: boolean `true`, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(str("name"), Content::null())), "invalid type: unit value, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(str("name"), Content(1.0))), "invalid type: floating point `1.0`, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(str("name"), array())), "invalid type: sequence, expected field identifier");
    EXPECT_EQ(solute_outcome(keyed(bytes("name"), bytes("kind"))), "ok");

    // Tags of nested nodes.
    auto tagged = [](Content tag) {
        return object(kv(str("node_type"), std::move(tag)), kv(str("name"), str("LiPF6")), kv(str("kind"), str("salt")));
    };
    EXPECT_EQ(solute_outcome(tagged(Content(std::uint8_t{0}))), "ok");
    EXPECT_EQ(solute_outcome(tagged(Content(std::uint8_t{1}))), "missing field `terms`");
    EXPECT_EQ(solute_outcome(tagged(Content(std::uint8_t{4}))),
              "invalid value: integer `4`, expected variant index 0 <= i < 4");
    EXPECT_EQ(solute_outcome(tagged(Content(std::uint16_t{300}))),
              "invalid type: integer `300`, expected variant identifier");
    EXPECT_EQ(solute_outcome(tagged(Content(std::uint64_t{0}))), "ok");
    EXPECT_EQ(solute_outcome(tagged(bytes("compound"))), "ok");
    EXPECT_EQ(solute_outcome(tagged(bytes("c\xFF"))),
              "unknown variant `c\xEF\xBF\xBD`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`");
    EXPECT_EQ(solute_outcome(object(kv(bytes("node_type"), str("compound")), kv(str("name"), str("LiPF6")),
                                    kv(str("kind"), str("salt")))),
              "ok");
    EXPECT_EQ(solute_outcome(object(kv(bytes("node_type"), str("compound")), kv(str("node_type"), str("compound")))),
              "duplicate field `node_type`");

    // Keys of one-pair enumeration objects.
    auto unit_keyed = [](Content key) { return array(std::uint8_t{1}, object(kv(std::move(key), Content::null()))); };
    EXPECT_EQ(solute_outcome(compound(str("LiPF6"), str("salt")), unit_keyed(Content(std::uint8_t{4}))), "ok");
    EXPECT_EQ(solute_outcome(compound(str("LiPF6"), str("salt")), unit_keyed(Content(std::uint8_t{5}))),
              "invalid value: integer `5`, expected variant index 0 <= i < 5");
    EXPECT_EQ(solute_outcome(compound(str("LiPF6"), object(kv(Content(std::uint64_t{3}), Content::null())))),
              "invalid value: integer `3`, expected variant index 0 <= i < 3");
    EXPECT_EQ(solute_outcome(compound(str("LiPF6"), str("salt")), unit_keyed(Content(std::uint32_t{1}))),
              "invalid type: integer `1`, expected variant identifier");
    EXPECT_EQ(solute_outcome(compound(str("LiPF6"), str("salt")), unit_keyed(Content(std::int8_t{-1}))),
              "invalid type: integer `-1`, expected variant identifier");
}

TEST(ReplayPythonStyle, NumbersOfEveryWidthAndOptionalAmounts) {
    auto share_of = [](Content share) -> double {
        Content term = object(kv(str("compound"), object(kv(str("name"), str("EC")), kv(str("kind"), str("solvent")))),
                              kv(str("share"), std::move(share)));
        auto tree = replay_node(object(kv(str("node_type"), str("ratio_mixture")), kv(str("terms"), array(std::move(term))),
                                       kv(str("basis"), str("wt"))),
                                ValueStyle::Python);
        EXPECT_TRUE(tree.has_value()) << (tree ? "" : tree.error().message);
        return tree ? tree->get_if<RatioMixture>()->terms[0].share : std::nan("");
    };
    EXPECT_EQ(share_of(Content(std::uint8_t{3})), 3.0);
    EXPECT_EQ(share_of(Content(std::uint16_t{65535})), 65535.0);
    EXPECT_EQ(share_of(Content(std::uint32_t{4000000000u})), 4e9);
    EXPECT_EQ(share_of(Content(std::uint64_t{18446744073709551615u})), 18446744073709551616.0);
    EXPECT_EQ(share_of(Content(std::int8_t{-128})), -128.0);
    EXPECT_EQ(share_of(Content(std::int16_t{-2})), -2.0);
    EXPECT_EQ(share_of(Content(std::int32_t{-70000})), -70000.0);
    EXPECT_EQ(share_of(Content(std::int64_t{-9007199254740993})), -9007199254740992.0);
    EXPECT_EQ(share_of(Content(0.5f)), 0.5);
    EXPECT_TRUE(std::isnan(share_of(Content(std::nan("")))));

    auto amount_of = [](Content amount) {
        Content term = object(kv(str("node"), compound(str("EC"), str("solvent"))), kv(str("amount"), std::move(amount)));
        return replay_node(object(kv(str("node_type"), str("blend")), kv(str("terms"), array(std::move(term)))),
                           ValueStyle::Python);
    };
    auto none = amount_of(Content(Content::None{}));
    ASSERT_TRUE(none.has_value());
    EXPECT_FALSE(none->get_if<Blend>()->terms[0].amount.has_value());
    auto some = amount_of(Content::some(object(kv(str("value"), Content(std::uint8_t{2})), kv(str("unit"), str("vol%")))));
    ASSERT_TRUE(some.has_value()) << some.error().message;
    ASSERT_TRUE(some->get_if<Blend>()->terms[0].amount.has_value());
    EXPECT_EQ(some->get_if<Blend>()->terms[0].amount->unit, ConcentrationUnit::VolumePercent);
    auto bad = amount_of(Content::some(Content(std::uint8_t{5})));
    ASSERT_FALSE(bad.has_value());
    EXPECT_EQ(bad.error().message, "invalid type: integer `5`, expected struct Amount");
}

TEST(ReplayEntries, TopLevelStructOfTheNamedVariant) {
    // The reader took the tag out; the rest is the variant's struct.
    auto tree = replay_node_variant(0, object(kv(str("kind"), str("salt")), kv(str("name"), str("LiPF6"))), ValueStyle::Python);
    ASSERT_TRUE(tree.has_value());
    EXPECT_EQ(tree->get_if<Compound>()->name, "LiPF6");
    auto arr = replay_node_variant(3, array(array()), ValueStyle::Json);
    ASSERT_TRUE(arr.has_value());
    EXPECT_TRUE(arr->get_if<Blend>()->terms.empty());
    auto key = replay_node_variant(0, object(kv(Content(true), str("x"))), ValueStyle::Python);
    ASSERT_FALSE(key.has_value());
    EXPECT_EQ(key.error().message, "invalid type: boolean `true`, expected field identifier");
    EXPECT_EQ(replay_node_variant(1, object(), ValueStyle::Python).error().message, "missing field `terms`");
    // A borrowed text is copied into the tree, which outlives the buffer.
    std::string source = "EC";
    auto borrowed = replay_node_variant(
        0, object(kv(str("name"), Content::borrowed_string(source)), kv(str("kind"), str("solvent"))), ValueStyle::Json);
    source = "XX";
    EXPECT_EQ(borrowed->get_if<Compound>()->name, "EC");
}

TEST(ReplayEntries, CautiousCapacity) {
    EXPECT_EQ(cautious_capacity<ContentPair>(10), 10u);
    EXPECT_LE(cautious_capacity<ContentPair>(std::size_t{1} << 40) * sizeof(ContentPair), std::size_t{1} << 20);
    EXPECT_GE(cautious_capacity<ContentPair>(std::size_t{1} << 40) * sizeof(ContentPair), std::size_t{1} << 19);
}

TEST(ReplayMessages, SharedTexts) {
    EXPECT_EQ(node_variant_index("solution"), 2u);
    EXPECT_EQ(node_variant_index("Solution"), std::nullopt);
    EXPECT_EQ(unknown_node_variant_message("Compound"),
              "unknown variant `Compound`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`");
    EXPECT_EQ(describe_content(Content::null(), ValueStyle::Json), "null");
    EXPECT_EQ(describe_content(Content::null(), ValueStyle::Python), "unit value");
    EXPECT_EQ(describe_content(Content(std::int64_t{-9223372036854775807 - 1}), ValueStyle::Json),
              "integer `-9223372036854775808`");
    EXPECT_EQ(describe_content(Content(std::uint64_t{18446744073709551615u}), ValueStyle::Json),
              "integer `18446744073709551615`");
}

}  // namespace
}  // namespace kelmora
