#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "kelmora/json.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

std::string json_number(double value) {
    std::string out;
    append_json_number(out, value);
    return out;
}

std::string json_string(std::string_view text) {
    std::string out;
    append_json_string(out, text);
    return out;
}

TEST(JsonNumber, FollowsTheTable) {
    const NumberCase cases[] = {
        {1, "1.0"},
        {0, "0.0"},
        {-0.0, "-0.0"},
        {3, "3.0"},
        {0.5, "0.5"},
        {-2.5, "-2.5"},
        {100, "100.0"},
        {1e15, "1000000000000000.0"},
        {1e16, "1e+16"},
        {1.5e16, "1.5e+16"},
        {1e20, "1e+20"},
        {0.00001, "0.00001"},
        {0.00001234, "0.00001234"},
        {0.000001, "1e-6"},
        {0.0000001, "1e-7"},
        {0.1 + 0.2, "0.30000000000000004"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {-std::numeric_limits<double>::max(), "-1.7976931348623157e+308"},
        {123.456, "123.456"},
        {9007199254740993.0, "9007199254740992.0"},
        {-1.2345678901234567e-5, "-0.000012345678901234568"},
        {-1.2345678901234567e-300, "-1.2345678901234568e-300"},
        {nan, "null"},
        {inf, "null"},
        {-inf, "null"},
    };
    for (const auto& c : cases) EXPECT_EQ(json_number(c.value), c.text) << c.text;
}

TEST(JsonString, EscapesOnlyWhatTheTableNames) {
    EXPECT_EQ(json_string(""), R"("")");
    EXPECT_EQ(json_string("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(json_string("\b\t\n\f\r"), R"("\b\t\n\f\r")");
    EXPECT_EQ(json_string(std::string_view("\x00\x01\x1f", 3)), R"("\u0000\u0001\u001f")");
    EXPECT_EQ(json_string("/\x7f"), "\"/\x7f\"");
    EXPECT_EQ(json_string("Li\xc3\xa9 x"), "\"Li\xc3\xa9 x\"");
    EXPECT_EQ(json_string("\x0b\x1e"), R"("\u000b\u001e")");
}

TEST(JsonString, AppendsToWhatIsThere) {
    std::string out = "x:";
    append_json_string(out, "ab\tc");
    append_json_number(out, 2);
    EXPECT_EQ(out, R"(x:"ab\tc"2.0)");
}

Node lipf6_in_ec() { return solution(molar(1), leaf("LiPF6", salt), leaf("EC", solvent)); }

TEST(JsonText, CompactExamples) {
    EXPECT_EQ(to_json_text(leaf("EC", solvent)), R"({"node_type":"compound","name":"EC","kind":"solvent"})");
    EXPECT_EQ(to_json_text(ratio({{{"EC", solvent}, 3}, {{"DMC", solvent}, 7}})),
              R"({"node_type":"ratio_mixture","terms":[{"compound":{"name":"EC","kind":"solvent"},"share":3.0},)"
              R"({"compound":{"name":"DMC","kind":"solvent"},"share":7.0}],"basis":"wt"})");
    EXPECT_EQ(to_json_text(lipf6_in_ec()),
              R"({"node_type":"solution","solute":{"node_type":"compound","name":"LiPF6","kind":"salt"},)"
              R"("solvent":{"node_type":"compound","name":"EC","kind":"solvent"},)"
              R"("solute_amount":{"value":1.0,"unit":"M"}})");
    EXPECT_EQ(to_json_text(blend(term(leaf("EC", solvent)), term(leaf("VC", unknown), wt(2)))),
              R"({"node_type":"blend","terms":[{"node":{"node_type":"compound","name":"EC","kind":"solvent"},)"
              R"("amount":null},{"node":{"node_type":"compound","name":"VC","kind":"unknown"},)"
              R"("amount":{"value":2.0,"unit":"wt%"}}]})");
}

TEST(JsonText, EveryEnumerationText) {
    const std::string text = to_json_text(blend(term(leaf("a"), molal(1)), term(leaf("b"), mol(2)),
                                                term(ratio({}, RatioBasis::Mole)), term(ratio({}, RatioBasis::Volume)),
                                                term(leaf("c"), vol(3))));
    EXPECT_NE(text.find(R"("unit":"m")"), std::string::npos);
    EXPECT_NE(text.find(R"("unit":"mol%")"), std::string::npos);
    EXPECT_NE(text.find(R"("unit":"vol%")"), std::string::npos);
    EXPECT_NE(text.find(R"("basis":"mol")"), std::string::npos);
    EXPECT_NE(text.find(R"("basis":"vol")"), std::string::npos);
}

TEST(JsonText, EmptyListsNonFiniteNumbersAndOddNames) {
    EXPECT_EQ(to_json_text(ratio({})), R"({"node_type":"ratio_mixture","terms":[],"basis":"wt"})");
    EXPECT_EQ(to_json_text(blend()), R"({"node_type":"blend","terms":[]})");
    EXPECT_EQ(to_json_text(ratio({{{"", unknown}, nan}, {{"q\"\\\t\x01\x7f\xc3\xa9", salt}, -inf}})),
              "{\"node_type\":\"ratio_mixture\",\"terms\":[{\"compound\":{\"name\":\"\",\"kind\":\"unknown\"},"
              "\"share\":null},{\"compound\":{\"name\":\"q\\\"\\\\\\t\\u0001\x7f\xc3\xa9\",\"kind\":\"salt\"},"
              "\"share\":null}],\"basis\":\"wt\"}");
    EXPECT_EQ(to_json_text(blend(term(leaf("A"), wt(-0.0)))),
              R"({"node_type":"blend","terms":[{"node":{"node_type":"compound","name":"A","kind":"unknown"},)"
              R"("amount":{"value":-0.0,"unit":"wt%"}}]})");
}

TEST(JsonText, PrettySolution) {
    EXPECT_EQ(to_json_text_pretty(lipf6_in_ec()),
              "{\n"
              "  \"node_type\": \"solution\",\n"
              "  \"solute\": {\n"
              "    \"node_type\": \"compound\",\n"
              "    \"name\": \"LiPF6\",\n"
              "    \"kind\": \"salt\"\n"
              "  },\n"
              "  \"solvent\": {\n"
              "    \"node_type\": \"compound\",\n"
              "    \"name\": \"EC\",\n"
              "    \"kind\": \"solvent\"\n"
              "  },\n"
              "  \"solute_amount\": {\n"
              "    \"value\": 1.0,\n"
              "    \"unit\": \"M\"\n"
              "  }\n"
              "}");
}

TEST(JsonText, PrettyNullAmountAndEmptyArrays) {
    EXPECT_EQ(to_json_text_pretty(blend(term(ratio({}, RatioBasis::Volume)))),
              "{\n"
              "  \"node_type\": \"blend\",\n"
              "  \"terms\": [\n"
              "    {\n"
              "      \"node\": {\n"
              "        \"node_type\": \"ratio_mixture\",\n"
              "        \"terms\": [],\n"
              "        \"basis\": \"vol\"\n"
              "      },\n"
              "      \"amount\": null\n"
              "    }\n"
              "  ]\n"
              "}");
    EXPECT_EQ(to_json_text_pretty(blend()), "{\n  \"node_type\": \"blend\",\n  \"terms\": []\n}");
}

TEST(JsonText, PrettyArrayOfSeveralElements) {
    EXPECT_EQ(to_json_text_pretty(ratio({{{"EC", solvent}, 3}, {{"DMC", solvent}, 0.5}}, RatioBasis::Mole)),
              "{\n"
              "  \"node_type\": \"ratio_mixture\",\n"
              "  \"terms\": [\n"
              "    {\n"
              "      \"compound\": {\n"
              "        \"name\": \"EC\",\n"
              "        \"kind\": \"solvent\"\n"
              "      },\n"
              "      \"share\": 3.0\n"
              "    },\n"
              "    {\n"
              "      \"compound\": {\n"
              "        \"name\": \"DMC\",\n"
              "        \"kind\": \"solvent\"\n"
              "      },\n"
              "      \"share\": 0.5\n"
              "    }\n"
              "  ],\n"
              "  \"basis\": \"mol\"\n"
              "}");
}

std::vector<std::string> keys_of(const JsonValue& value) {
    std::vector<std::string> keys;
    for (const auto& [key, member] : *value.get_if<JsonValue::Object>()) keys.push_back(key);
    return keys;
}

TEST(JsonValueOfTree, MembersInKeyOrder) {
    using Keys = std::vector<std::string>;
    EXPECT_EQ(keys_of(to_json_value(leaf("EC", solvent))), (Keys{"kind", "name", "node_type"}));
    EXPECT_EQ(keys_of(to_json_value(ratio({}))), (Keys{"basis", "node_type", "terms"}));
    EXPECT_EQ(keys_of(to_json_value(lipf6_in_ec())), (Keys{"node_type", "solute", "solute_amount", "solvent"}));
    EXPECT_EQ(keys_of(to_json_value(blend())), (Keys{"node_type", "terms"}));
}

TEST(JsonValueOfTree, WholeDocuments) {
    EXPECT_EQ(json_value_text(to_json_value(lipf6_in_ec())),
              R"({"node_type":"solution","solute":{"kind":"salt","name":"LiPF6","node_type":"compound"},)"
              R"("solute_amount":{"unit":"M","value":1.0},)"
              R"("solvent":{"kind":"solvent","name":"EC","node_type":"compound"}})");
    EXPECT_EQ(json_value_text(to_json_value(ratio({{{"EC", solvent}, 3}, {{"DMC", solvent}, 7}}))),
              R"({"basis":"wt","node_type":"ratio_mixture","terms":[{"compound":{"kind":"solvent","name":"EC"},)"
              R"("share":3.0},{"compound":{"kind":"solvent","name":"DMC"},"share":7.0}]})");
    EXPECT_EQ(json_value_text(to_json_value(blend(term(leaf("EC", solvent)), term(leaf("VC"), wt(2))))),
              R"({"node_type":"blend","terms":[{"amount":null,"node":{"kind":"solvent","name":"EC",)"
              R"("node_type":"compound"}},{"amount":{"unit":"wt%","value":2.0},)"
              R"("node":{"kind":"unknown","name":"VC","node_type":"compound"}}]})");
}

TEST(JsonValueOfTree, NonFiniteBecomesNullNegativeZeroStays) {
    const JsonValue value = to_json_value(blend(term(leaf("A"), wt(nan)), term(leaf("B"), wt(-0.0))));
    const auto& terms = *value.get_if<JsonValue::Object>()->find("terms")->get_if<JsonValue::Array>();
    ASSERT_EQ(terms.size(), 2u);
    const auto amount_value = [&](std::size_t i) {
        return terms[i].get_if<JsonValue::Object>()->find("amount")->get_if<JsonValue::Object>()->find("value");
    };
    EXPECT_TRUE(amount_value(0)->is_null());
    const double* zero = amount_value(1)->get_if<double>();
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(*zero, 0.0);
    EXPECT_TRUE(std::signbit(*zero));
    EXPECT_TRUE(terms[0].get_if<JsonValue::Object>()->find("node")->is<JsonValue::Object>());
}

TEST(JsonValueType, NumbersKeepTheirKind) {
    EXPECT_TRUE(JsonValue(std::int64_t{5}).is<std::uint64_t>());
    EXPECT_EQ(*JsonValue(std::int64_t{0}).get_if<std::uint64_t>(), 0u);
    EXPECT_EQ(*JsonValue(std::int64_t{-5}).get_if<std::int64_t>(), -5);
    EXPECT_TRUE(JsonValue(7).is<std::uint64_t>());
    EXPECT_EQ(*JsonValue(std::uint64_t{18446744073709551615u}).get_if<std::uint64_t>(), 18446744073709551615u);
    EXPECT_TRUE(JsonValue(2.0).is<double>());
    EXPECT_TRUE(JsonValue(nan).is_null());
    EXPECT_TRUE(JsonValue(inf).is_null());
    EXPECT_TRUE(JsonValue(-inf).is_null());
}

TEST(JsonValueType, ObjectKeysInByteOrderReplacingDuplicates) {
    JsonValue::Object object;
    for (const char* key : {"solvent", "solute_amount", "b", "solute", "B", "\xc3\xa9", "", "z"}) object.insert(key, key);
    object.insert("b", 1);
    EXPECT_EQ(keys_of(JsonValue(object)),
              (std::vector<std::string>{"", "B", "b", "solute", "solute_amount", "solvent", "z", "\xc3\xa9"}));
    EXPECT_EQ(object.size(), 8u);
    ASSERT_NE(object.find("b"), nullptr);
    EXPECT_EQ(*object.find("b")->get_if<std::uint64_t>(), 1u);
    EXPECT_EQ(*object.find("solute")->get_if<std::string>(), "solute");
    EXPECT_EQ(object.find("solut"), nullptr);
    EXPECT_EQ(object.find("zz"), nullptr);
}

TEST(JsonValueText, EveryKindCompactly) {
    JsonValue::Object inner;
    inner.insert("x", JsonValue::Array{});
    inner.insert("e", JsonValue::Object{});
    JsonValue::Object object;
    object.insert("n", nullptr);
    object.insert("t", true);
    object.insert("f", false);
    object.insert("u", std::uint64_t{18446744073709551615u});
    object.insert("i", std::int64_t{-9223372036854775807 - 1});
    object.insert("d", 2.5);
    object.insert("w", 3.0);
    object.insert("s", "a\"\n");
    object.insert("a", JsonValue::Array{1, -2, "x", nullptr, JsonValue(inner)});
    EXPECT_EQ(json_value_text(JsonValue(object)),
              R"({"a":[1,-2,"x",null,{"e":{},"x":[]}],"d":2.5,"f":false,"i":-9223372036854775808,)"
              R"("n":null,"s":"a\"\n","t":true,"u":18446744073709551615,"w":3.0})");
    EXPECT_EQ(json_value_text(JsonValue()), "null");
}

}  // namespace
}  // namespace kelmora
