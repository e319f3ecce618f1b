// The compound-table format as read, and the table as shipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "kelmora/registry.hpp"

namespace kelmora {
namespace {

struct Refused {
    const char* text;
    const char* display;
};

void PrintTo(const Refused& refused, std::ostream* out) { *out << refused.text; }

class TableTextRefused : public testing::TestWithParam<Refused> {};

TEST_P(TableTextRefused, WithMessageAndPosition) {
    const auto table = read_compound_table(GetParam().text);
    ASSERT_FALSE(table);
    EXPECT_EQ(table.error().display(), GetParam().display);
}

INSTANTIATE_TEST_SUITE_P(
    Records, TableTextRefused,
    testing::Values(
        Refused{R"({"A":{"kelmora_pref_label":"A"}})", "missing field `kind` at line 1 column 31"},
        Refused{R"({"A":{"kind":"salt"}})", "missing field `kelmora_pref_label` at line 1 column 20"},
        // Missing fields are placed just after the closing brace.
        Refused{R"({"A":{"kind":"salt"  }})", "missing field `kelmora_pref_label` at line 1 column 22"},
        // Both missing: kind is named first.
        Refused{R"({"A":{"emmo_iri":null}})", "missing field `kind` at line 1 column 22"},
        Refused{"{\n  \"A\": {\n    \"kind\": \"salt\"\n  }\n}",
                "missing field `kelmora_pref_label` at line 4 column 3"},
        Refused{R"({"A":{"kind":"salt","kind":"salt","kelmora_pref_label":"A"}})",
                "duplicate field `kind` at line 1 column 26"},
        // A duplicate is placed after its key and the whitespace that follows.
        Refused{"{\"A\":{\"kind\":\"salt\",\"kind\" \n :\"salt\",\"kelmora_pref_label\":\"A\"}}",
                "duplicate field `kind` at line 2 column 1"},
        Refused{R"({"A":{"kind":"salt","emmo_iri":null,"emmo_iri":"x","kelmora_pref_label":"A"}})",
                "duplicate field `emmo_iri` at line 1 column 46"},
        Refused{R"({"A":{"kind":"salt","kelmora_pref_label":null}})",
                "invalid type: null, expected a string at line 1 column 45"},
        Refused{R"({"A":{"kind":"salt","pref_label":5,"kelmora_pref_label":"A"}})",
                "invalid type: integer `5`, expected a string at line 1 column 34"},
        Refused{R"({"A":{"kind":"salt","kelmora_pref_label":"A"})", "EOF while parsing an object at line 1 column 45"},
        Refused{R"({"A":5})", "invalid type: integer `5`, expected struct CompoundInfo at line 1 column 6"},
        Refused{R"({"A":-1.5})", "invalid type: floating point `-1.5`, expected struct CompoundInfo at line 1 column 9"},
        Refused{R"({"A":true})", "invalid type: boolean `true`, expected struct CompoundInfo at line 1 column 9"},
        Refused{R"({"A":"x\n"})", R"(invalid type: string "x\n", expected struct CompoundInfo at line 1 column 10)"},
        Refused{R"({"A":})", "expected value at line 1 column 6"}));

INSTANTIATE_TEST_SUITE_P(
    ArrayForm, TableTextRefused,
    testing::Values(
        Refused{R"({"A":["salt",null,"A"]})",
                "invalid length 3, expected struct CompoundInfo with 4 elements at line 1 column 22"},
        Refused{R"({"A":[ ]})", "invalid length 0, expected struct CompoundInfo with 4 elements at line 1 column 8"},
        Refused{R"({"A":["salt",null,null,"A","B"]})", "trailing characters at line 1 column 28"},
        Refused{R"({"A":["salt",null,null,"A" "B"]})", "trailing characters at line 1 column 28"},
        Refused{R"({"A":["salt",null,null,"A",]})", "trailing comma at line 1 column 28"},
        Refused{R"({"A":["salt",null,]})", "trailing comma at line 1 column 19"},
        Refused{R"({"A":["salt",null,null,"A")", "EOF while parsing a list at line 1 column 26"},
        Refused{R"({"A":["salt",null,null,null]})", "invalid type: null, expected a string at line 1 column 27"}));

INSTANTIATE_TEST_SUITE_P(
    Kinds, TableTextRefused,
    testing::Values(
        Refused{R"({"A":{"kind":"Salt","kelmora_pref_label":"A"}})",
                "unknown variant `Salt`, expected one of `salt`, `solvent`, `unknown` at line 1 column 19"},
        Refused{R"({"A":{"kind":"SOLVENT","kelmora_pref_label":"A"}})",
                "unknown variant `SOLVENT`, expected one of `salt`, `solvent`, `unknown` at line 1 column 22"},
        Refused{R"({"A":{"kind":5,"kelmora_pref_label":"A"}})", "expected value at line 1 column 14"},
        Refused{R"({"A":{"kind":null,"kelmora_pref_label":"A"}})", "expected value at line 1 column 14"},
        Refused{R"({"A":{"kind":["salt"],"kelmora_pref_label":"A"}})", "expected value at line 1 column 14"},
        Refused{R"({"A":{"kind":{"Salt":null},"kelmora_pref_label":"A"}})",
                "unknown variant `Salt`, expected one of `salt`, `solvent`, `unknown` at line 1 column 20"},
        Refused{R"({"A":{"kind":{"salt":1},"kelmora_pref_label":"A"}})",
                "invalid type: integer `1`, expected unit at line 1 column 22"},
        Refused{R"({"A":{"kind":{},"kelmora_pref_label":"A"}})", "expected value at line 1 column 15"},
        Refused{R"({"A":{"kind":{1:null},"kelmora_pref_label":"A"}})",
                "invalid type: integer `1`, expected variant identifier at line 1 column 15"},
        Refused{R"({"A":{"kind":{"salt":null,"x":null}}})", "expected value at line 1 column 25"},
        Refused{R"({"A":{"kind":{"salt" null}}})", "expected `:` at line 1 column 22"}));

INSTANTIATE_TEST_SUITE_P(
    Table, TableTextRefused,
    testing::Values(Refused{"", "EOF while parsing a value at line 1 column 0"},
                    Refused{"  ", "EOF while parsing a value at line 1 column 2"},
                    Refused{"[]", "invalid type: sequence, expected a map at line 1 column 0"},
                    Refused{"null", "invalid type: null, expected a map at line 1 column 4"},
                    Refused{R"("x")", R"(invalid type: string "x", expected a map at line 1 column 3)"},
                    Refused{"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
                    Refused{"{} x", "trailing characters at line 1 column 4"},
                    Refused{"{}{}", "trailing characters at line 1 column 3"},
                    Refused{R"({"A":{"kind":"salt","kelmora_pref_label":"A"},})", "trailing comma at line 1 column 47"},
                    Refused{R"({A:1})", "key must be a string at line 1 column 2"},
                    Refused{R"({"A" {}})", "expected `:` at line 1 column 6"},
                    // A record's own error wins over what follows it.
                    Refused{R"({"A":{"kind":"salt"}} x)", "missing field `kelmora_pref_label` at line 1 column 20"}));

CompoundTable read_ok(std::string_view text) {
    auto table = read_compound_table(text);
    EXPECT_TRUE(table) << table.error().display();
    return table ? *table : CompoundTable{};
}

TEST(TableText, OptionalFieldsMayBeNullOrMissing) {
    const auto table = read_ok(
        R"({"A":{"kind":"salt","emmo_iri":null,"pref_label":null,"kelmora_pref_label":"A"},)"
        R"("B":{"kelmora_pref_label":"B","kind":"unknown"}})");
    EXPECT_EQ(table.at("A"), (CompoundInfo{CompoundKind::Salt, std::nullopt, std::nullopt, "A"}));
    EXPECT_EQ(table.at("B"), (CompoundInfo{CompoundKind::Unknown, std::nullopt, std::nullopt, "B"}));
}

TEST(TableText, FurtherMembersAreIgnored) {
    const auto table = read_ok(
        R"({"A":{"note":{"kind":"x"},"kind":"solvent","emmo_iri":"I","more":[1,{"x":null},"\u00e9"],)"
        R"("pref_label":"P","kelmora_pref_label":"L","kind2":true}})");
    EXPECT_EQ(table.at("A"), (CompoundInfo{CompoundKind::Solvent, "I", "P", "L"}));
}

TEST(TableText, TheArrayFormReadsLikeTheObjectForm) {
    const auto table = read_ok(R"({"A":["solvent","I","P","L"],"B":[ {"salt":null} , null , null , "B" ]})");
    EXPECT_EQ(table.at("A"), (CompoundInfo{CompoundKind::Solvent, "I", "P", "L"}));
    EXPECT_EQ(table.at("B"), (CompoundInfo{CompoundKind::Salt, std::nullopt, std::nullopt, "B"}));
}

TEST(TableText, KindsAsNamesOrOnePairObjects) {
    const auto table = read_ok(
        R"({"A":{"kind":{"unknown":null},"kelmora_pref_label":"A"},"B":{"kind":{ "solvent" : null },)"
        R"("kelmora_pref_label":"B"},"C":{"kind":"salt","kelmora_pref_label":"C"}})");
    EXPECT_EQ(table.at("A").kind, CompoundKind::Unknown);
    EXPECT_EQ(table.at("B").kind, CompoundKind::Solvent);
    EXPECT_EQ(table.at("C").kind, CompoundKind::Salt);
}

TEST(TableText, ARepeatedKeyKeepsTheLaterRecord) {
    const auto table = read_ok(
        R"({"A":{"kind":"salt","kelmora_pref_label":"X"},"B":["salt",null,null,"B"],)"
        R"("A":{"kind":"solvent","kelmora_pref_label":"Y"}})");
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at("A"), (CompoundInfo{CompoundKind::Solvent, std::nullopt, std::nullopt, "Y"}));
}

TEST(TableText, KeysAndFieldNamesAreReadAfterTheirEscapes) {
    const auto table = read_ok(
        " \r\n\t{\"\\u0041\\u00e9\":{\"\\u006bind\":\"salt\",\"kelmora_pref_label\":\"a\\\"b\"}}\n");
    EXPECT_EQ(table.at("A\u00e9"), (CompoundInfo{CompoundKind::Salt, std::nullopt, std::nullopt, "a\"b"}));
    EXPECT_TRUE(read_ok("{}").empty());
}

// The shipped table, read back from its embedded text.

std::string source_file(const std::string& path) {
    std::ifstream in(std::string(KELMORA_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const CompoundTable& shipped() {
    static const CompoundTable table = [] {
        auto read = read_compound_table(embedded_compound_table());
        return read ? *read : CompoundTable{};
    }();
    return table;
}

TEST(ShippedTable, EmbeddedTextIsTheFileWithItsSizeAndLines) {
    const std::string_view text = embedded_compound_table();
    EXPECT_EQ(text, source_file("src/registry/registry_data.json"));
    EXPECT_EQ(text.size(), 206523u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5270);
    EXPECT_TRUE(text.ends_with("}\n"));
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
}

TEST(ShippedTable, IsLaidOutInKeyOrderOneMemberALine) {
    // std::map orders its keys byte by byte, as the layout does.
    const std::map<std::string, CompoundInfo> ordered(shipped().begin(), shipped().end());
    ASSERT_EQ(ordered.size(), 878u);
    std::string expected = "{\n";
    for (const auto& [key, info] : ordered) {
        ASSERT_TRUE(info.emmo_iri && info.pref_label) << key;
        if (expected.size() > 2) expected += ",\n";
        expected += "  \"" + key + "\": {\n";
        expected += "    \"kind\": \"" + std::string(kind_text(info.kind)) + "\",\n";
        expected += "    \"emmo_iri\": \"" + *info.emmo_iri + "\",\n";
        expected += "    \"pref_label\": \"" + *info.pref_label + "\",\n";
        expected += "    \"kelmora_pref_label\": \"" + info.kelmora_pref_label + "\"\n  }";
    }
    expected += "\n}\n";
    EXPECT_EQ(embedded_compound_table(), expected);
}

struct Group {
    CompoundKind kind;
    std::set<std::string> keys;
};

std::map<std::string, Group> groups_of(const CompoundTable& table) {
    std::map<std::string, Group> groups;
    for (const auto& [key, info] : table) {
        auto& group = groups[info.kelmora_pref_label];
        group.kind = info.kind;
        group.keys.insert(key);
    }
    return groups;
}

TEST(ShippedTable, EntriesGroupsAndAliasesByKind) {
    const auto& table = shipped();
    ASSERT_EQ(table.size(), 878u);
    std::map<CompoundKind, int> entries;
    for (const auto& [key, info] : table) ++entries[info.kind];
    EXPECT_EQ(entries[CompoundKind::Salt], 611);
    EXPECT_EQ(entries[CompoundKind::Solvent], 94);
    EXPECT_EQ(entries[CompoundKind::Unknown], 173);

    const auto groups = groups_of(table);
    EXPECT_EQ(groups.size(), 468u);
    std::map<CompoundKind, int> by_kind;
    std::map<std::size_t, int> by_alias_count;
    std::set<std::string> with_three;
    for (const auto& [label, group] : groups) {
        ++by_kind[group.kind];
        ++by_alias_count[group.keys.size() - 1];
        if (group.keys.size() == 4) with_three.insert(label);
    }
    EXPECT_EQ(by_kind[CompoundKind::Salt], 320);
    EXPECT_EQ(by_kind[CompoundKind::Solvent], 44);
    EXPECT_EQ(by_kind[CompoundKind::Unknown], 104);
    EXPECT_EQ(by_alias_count, (std::map<std::size_t, int>{{0, 73}, {1, 382}, {2, 11}, {3, 2}}));
    EXPECT_EQ(with_three, (std::set<std::string>{"4Glyme", "DCM"}));
}

TEST(ShippedTable, GroupInvariants) {
    const auto& table = shipped();
    std::set<std::string> iris;
    std::set<std::string> pref_labels;
    int pref_is_label = 0;
    const std::regex iri_form(
        "https://w3id\\.org/emmo/domain/chemical-substance#substance_"
        "[0-9a-f]{8}_[0-9a-f]{4}_[0-9a-f]{4}_[0-9a-f]{4}_[0-9a-f]{12}");
    for (const auto& [label, group] : groups_of(table)) {
        ASSERT_EQ(table.count(label), 1u) << label;  // every label is a key
        const CompoundInfo& record = table.at(label);
        for (const auto& key : group.keys) EXPECT_EQ(table.at(key), record) << key;
        ASSERT_TRUE(record.emmo_iri && record.pref_label) << label;
        EXPECT_EQ(group.keys.count(*record.pref_label), 1u) << label;
        if (*record.pref_label == label) ++pref_is_label;
        EXPECT_EQ(record.emmo_iri->size(), 94u) << label;
        EXPECT_TRUE(std::regex_match(*record.emmo_iri, iri_form)) << *record.emmo_iri;
        EXPECT_TRUE(iris.insert(*record.emmo_iri).second) << label;
        EXPECT_TRUE(pref_labels.insert(*record.pref_label).second) << label;
    }
    EXPECT_EQ(pref_is_label, 84);
}

TEST(ShippedTable, KeyAndLabelForms) {
    const auto& table = shipped();
    const std::regex key_form("[A-Za-z0-9()]{2,46}");
    const std::regex pref_form("[A-Za-z2]{3,46}");
    int with_parentheses = 0, opening = 0, leading_digit = 0;
    std::set<std::string> lowered;
    for (const auto& [key, info] : table) {
        EXPECT_TRUE(std::regex_match(key, key_form)) << key;
        EXPECT_TRUE(std::regex_match(*info.pref_label, pref_form)) << key;
        EXPECT_GE(info.kelmora_pref_label.size(), 2u);
        EXPECT_LE(info.kelmora_pref_label.size(), 31u);
        if (key.find_first_of("()") != std::string::npos) ++with_parentheses;
        if (key.front() == '(') ++opening;
        if (key.front() >= '0' && key.front() <= '9') ++leading_digit;
        std::string lower = key;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        EXPECT_TRUE(lowered.insert(lower).second) << key;
    }
    EXPECT_EQ(with_parentheses, 137);
    EXPECT_EQ(opening, 3);
    EXPECT_EQ(leading_digit, 8);
}

TEST(ShippedTable, KeysStandLetterForLetter) {
    const auto& table = shipped();
    EXPECT_EQ(table.at("SrC2l").kelmora_pref_label, "SrC2l");
    EXPECT_EQ(table.at("Pseudocumeme").kelmora_pref_label, "Pseudocumeme");
    EXPECT_EQ(table.at("TrisTrimethylsilyPhosphite").kelmora_pref_label, "TMSPI");
    EXPECT_EQ(table.at("EthyleneCarbonate").kelmora_pref_label, "EC");
    EXPECT_EQ(table.at("TableSalt").kelmora_pref_label, "NaCl");
    for (const char* absent : {"SrCl2", "Pseudocumene", "NaFSI", "KFSI", "MA", "MethylAcetate"}) {
        EXPECT_EQ(table.count(absent), 0u) << absent;
    }
    // The groups whose kind the registry corrects are "unknown" here.
    for (const char* key : {"VC", "VEC", "3Glyme", "TMSPI"}) EXPECT_EQ(table.at(key).kind, CompoundKind::Unknown);
}

}  // namespace
}  // namespace kelmora
