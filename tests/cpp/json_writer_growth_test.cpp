// The writers on texts far longer than the room they start with: the output
// grows in the middle of names, escapes, lists and indentation, and must come
// out the same as short texts do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelmora/json.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

// The escaping rule written out one byte at a time.
std::string json_quoted(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            default:
                if (byte < 0x20) {
                    out += "\\u00";
                    out += hex[byte >> 4];
                    out += hex[byte & 0xf];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

// Long names of every mix: no escapes, escapes throughout (six bytes out for
// one in, so the room runs out while escaping), and escapes only at the end.
std::vector<std::string> long_names() {
    std::string plain(3000, 'x');
    std::string dense;
    for (int i = 0; i < 1500; ++i) dense += i % 2 == 0 ? '\x01' : '"';
    std::string tail(1000, 'y');
    tail += std::string(600, '\n');
    return {plain, dense, tail};
}

TEST(JsonTextGrowth, LongNamesAreEscapedWhole) {
    for (const std::string& name : long_names()) {
        const std::string expected = "{\"node_type\":\"compound\",\"name\":" + json_quoted(name) + ",\"kind\":\"salt\"}";
        EXPECT_EQ(to_json_text(leaf(name, salt)), expected);
        std::string out = "prefix";
        append_json_string(out, name);
        EXPECT_EQ(out, "prefix" + json_quoted(name));
    }
}

TEST(JsonTextGrowth, AppendsKeepEarlierText) {
    std::string out;
    std::string expected;
    for (int i = 0; i < 400; ++i) {
        const std::string piece = "n" + std::to_string(i) + (i % 7 == 0 ? "\t" : "");
        append_json_string(out, piece);
        append_json_number(out, i + 0.5);
        expected += json_quoted(piece) + std::to_string(i) + ".5";
    }
    EXPECT_EQ(out, expected);
}

TEST(JsonTextGrowth, ManyTermsInAllThreeForms) {
    std::vector<RatioTerm> terms;
    std::string compact = R"({"node_type":"ratio_mixture","terms":[)";
    std::string pretty = "{\n  \"node_type\": \"ratio_mixture\",\n  \"terms\": [";
    std::string sorted = R"({"basis":"mol","node_type":"ratio_mixture","terms":[)";
    for (int i = 0; i < 300; ++i) {
        const std::string name = "S" + std::to_string(i);
        terms.push_back({{name, solvent}, i + 1.0});
        const std::string share = std::to_string(i + 1) + ".0";
        const std::string comma = i == 0 ? "" : ",";
        compact += comma + R"({"compound":{"name":")" + name + R"(","kind":"solvent"},"share":)" + share + "}";
        pretty += comma + "\n    {\n      \"compound\": {\n        \"name\": \"" + name +
                  "\",\n        \"kind\": \"solvent\"\n      },\n      \"share\": " + share + "\n    }";
        sorted += comma + R"({"compound":{"kind":"solvent","name":")" + name + R"("},"share":)" + share + "}";
    }
    compact += R"(],"basis":"mol"})";
    pretty += "\n  ],\n  \"basis\": \"mol\"\n}";
    sorted += "]}";
    const Node tree = ratio(std::move(terms), RatioBasis::Mole);
    EXPECT_EQ(to_json_text(tree), compact);
    EXPECT_EQ(to_json_text_pretty(tree), pretty);
    EXPECT_EQ(json_value_text(to_json_value(tree)), sorted);
}

Node nested_blends(int levels) {
    Node node = leaf("EC", solvent);
    for (int i = 0; i < levels; ++i) node = blend(term(std::move(node)));
    return node;
}

// The pretty text of `nested_blends(levels)` whose first line is indented by
// `depth` levels.
std::string pretty_nested(int levels, std::size_t depth) {
    const auto line = [](std::size_t d) { return "\n" + std::string(2 * d, ' '); };
    if (levels == 0) {
        return "{" + line(depth + 1) + "\"node_type\": \"compound\"," + line(depth + 1) + "\"name\": \"EC\"," +
               line(depth + 1) + "\"kind\": \"solvent\"" + line(depth) + "}";
    }
    return "{" + line(depth + 1) + "\"node_type\": \"blend\"," + line(depth + 1) + "\"terms\": [" + line(depth + 2) +
           "{" + line(depth + 3) + "\"node\": " + pretty_nested(levels - 1, depth + 3) + "," + line(depth + 3) +
           "\"amount\": null" + line(depth + 2) + "}" + line(depth + 1) + "]" + line(depth) + "}";
}

TEST(JsonTextGrowth, DeepNesting) {
    constexpr int levels = 150;
    std::string compact;
    for (int i = 0; i < levels; ++i) compact += R"({"node_type":"blend","terms":[{"node":)";
    compact += R"({"node_type":"compound","name":"EC","kind":"solvent"})";
    for (int i = 0; i < levels; ++i) compact += R"(,"amount":null}]})";
    const Node tree = nested_blends(levels);
    EXPECT_EQ(to_json_text(tree), compact);
    EXPECT_EQ(to_json_text_pretty(tree), pretty_nested(levels, 0));
}

}  // namespace
}  // namespace kelmora
