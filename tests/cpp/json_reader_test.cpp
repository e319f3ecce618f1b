#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using namespace fixtures;

// The display text of the reading error, or "ok" when the text reads.
std::string outcome(std::string_view text) {
    auto tree = read_json_tree(text);
    if (tree) return "ok";
    return tree.error().display();
}

Node read_ok(std::string_view text) {
    auto tree = read_json_tree(text);
    EXPECT_TRUE(tree.has_value()) << text << "\n" << (tree ? "" : tree.error().display());
    if (!tree) return leaf("<failed>");
    return std::move(*tree);
}

struct Case {
    std::string text;
    std::string expected;
};

void expect_cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(outcome(c.text), c.expected) << "text: " << c.text;
}

// The first 31 bytes of a compound whose name value follows.
const std::string name_prefix = R"({"node_type":"compound","name":)";
const std::string ec = R"({"node_type":"compound","name":"EC","kind":"solvent")";
const std::string ec_with_x = R"({"node_type":"compound","name":"EC","kind":"solvent","x":)";

TEST(ReadErrorText, DisplayAndDebugForms) {
    EXPECT_EQ((ReadError{"missing field `kind`", 0, 0}.display()), "missing field `kind`");
    EXPECT_EQ((ReadError{"trailing comma", 3, 7}.display()), "trailing comma at line 3 column 7");
    EXPECT_EQ((ReadError{"expected `,` or `}`", 1, 54}.debug()), "Error(\"expected `,` or `}`\", line: 1, column: 54)");
    EXPECT_EQ((ReadError{"a \"q\" \\ \t\n\x01", 2, 0}.debug()), "Error(\"a \\\"q\\\" \\\\ \\t\\n\\u{1}\", line: 2, column: 0)");
}

TEST(JsonReaderTopLevel, TagAndMembersInAnyOrder) {
    const Node n = read_ok(R"({"kind":"solvent","name":"EC","node_type":"compound"})");
    ASSERT_TRUE(n.is<Compound>());
    EXPECT_EQ(n.get_if<Compound>()->name, "EC");
    EXPECT_EQ(n.get_if<Compound>()->kind, CompoundKind::Solvent);
    const Node arr = read_ok(R"(["compound","EC","solvent"])");
    ASSERT_TRUE(arr.is<Compound>());
    EXPECT_EQ(arr.get_if<Compound>()->name, "EC");
    EXPECT_EQ(outcome(" \t\r\n" + ec + "} \n\t\r "), "ok");
}

TEST(JsonReaderTopLevel, ErrorsWithTheirPositions) {
    expect_cases({
        {"", "EOF while parsing a value at line 1 column 0"},
        {"   ", "EOF while parsing a value at line 1 column 3"},
        {R"({"name":"EC","kind":"solvent"})", "missing field `node_type` at line 1 column 30"},
        {"{\n\"name\":\"EC\",\"kind\":\"solvent\"\n}", "missing field `node_type` at line 3 column 1"},
        {R"({"node_type":"mixture"})",
         "unknown variant `mixture`, expected one of `compound`, `ratio_mixture`, `solution`, `blend` at line 1 column 22"},
        {R"({"node_type":2})", "invalid type: integer `2`, expected variant identifier at line 1 column 14"},
        {R"({"node_type":{}})", "invalid type: map, expected variant identifier at line 1 column 13"},
        {R"({"node_type":[1,}})", "invalid type: sequence, expected variant identifier at line 1 column 13"},
        {R"({"node_type":null})", "invalid type: null, expected variant identifier at line 1 column 17"},
        {R"({"node_type":-1.5})", "invalid type: floating point `-1.5`, expected variant identifier at line 1 column 17"},
        {R"({"node_type":"Compound"})",
         "unknown variant `Compound`, expected one of `compound`, `ratio_mixture`, `solution`, `blend` at line 1 column 23"},
        {R"({"node_type":})", "expected value at line 1 column 14"},
        {R"({"node_type":"compound","node_type":"compound"})", "duplicate field `node_type` at line 1 column 35"},
        {R"({"node_type":"compound","node_type"  :"compound"})", "duplicate field `node_type` at line 1 column 37"},
        {R"({"node_type":"compound",})", "trailing comma at line 1 column 25"},
        {R"({node_type:1})", "key must be a string at line 1 column 2"},
        {"[]", "missing field `node_type` at line 1 column 2"},
        {"[ \n ]", "missing field `node_type` at line 2 column 2"},
        {R"(["mixture"])",
         "unknown variant `mixture`, expected one of `compound`, `ratio_mixture`, `solution`, `blend` at line 1 column 10"},
        {R"([0,"EC","solvent"])", "invalid type: integer `0`, expected variant identifier at line 1 column 2"},
        {"5", "invalid type: integer `5`, expected internally tagged enum Node at line 1 column 1"},
        {"null", "invalid type: null, expected internally tagged enum Node at line 1 column 4"},
        {"  true", "invalid type: boolean `true`, expected internally tagged enum Node at line 1 column 6"},
        {R"("EC")", "invalid type: string \"EC\", expected internally tagged enum Node at line 1 column 4"},
        {"-7", "invalid type: integer `-7`, expected internally tagged enum Node at line 1 column 2"},
        {"2.5", "invalid type: floating point `2.5`, expected internally tagged enum Node at line 1 column 3"},
        {"\xEF\xBB\xBF" + ec + "}", "expected value at line 1 column 1"},
        {"x", "expected value at line 1 column 1"},
    });
}

TEST(JsonReaderTopLevel, TrailingCharactersComeLast) {
    expect_cases({
        {ec + "}x", "trailing characters at line 1 column 54"},
        {ec + "}\n", "ok"},
        {ec + "}   ", "ok"},
        {ec + "}\n x", "trailing characters at line 2 column 2"},
        {ec + "}{}", "trailing characters at line 1 column 54"},
        // A field error wins over trailing bytes.
        {R"({"node_type":"compound","name":"EC"}x)", "missing field `kind`"},
        // A syntax error anywhere wins over a field error.
        {R"({"node_type":"compound","name":"EC","kind":"Solvent" "x":1})", "expected `,` or `}` at line 1 column 54"},
        {R"({"node_type":"compound","name":7,"kind":"solvent",})", "trailing comma at line 1 column 51"},
        {R"({"node_type":"compound","name":7,"x":[1 2]})", "expected `,` or `]` at line 1 column 41"},
    });
}

TEST(JsonReaderSyntax, NestingLimit) {
    const std::string ok = ec_with_x + std::string(126, '[') + std::string(126, ']') + "}";
    EXPECT_EQ(outcome(ok), "ok");
    const std::string deep = ec_with_x + std::string(127, '[') + std::string(127, ']') + "}";
    EXPECT_EQ(outcome(deep), "recursion limit exceeded at line 1 column 184");
    std::string objects = ec_with_x;
    for (int i = 0; i < 126; ++i) objects += "{\"a\":";
    objects += "1";
    for (int i = 0; i < 126; ++i) objects += "}";
    EXPECT_EQ(outcome(objects + "}"), "ok");
    // Closing a level gives it back: many shallow arrays in a row read.
    std::string wide = ec_with_x + "[";
    for (int i = 0; i < 500; ++i) wide += std::string(100, '[') + std::string(100, ']') + ",";
    wide += "1]}";
    EXPECT_EQ(outcome(wide), "ok");
    // The top-level array counts too.
    EXPECT_EQ(outcome("[\"compound\"," + std::string(127, '[')), "recursion limit exceeded at line 1 column 139");
    EXPECT_EQ(outcome("[\"compound\"," + std::string(126, '[')), "EOF while parsing a list at line 1 column 138");
}

TEST(JsonReaderSyntax, StringsAndEscapes) {
    // The name value starts at offset 31.
    expect_cases({
        {name_prefix + "\"a\x01\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 34"},
        {name_prefix + "\"a\n\"", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
        {name_prefix + "\"a\\q\"", "invalid escape at line 1 column 35"},
        {name_prefix + "\"\\u12G4\"", "invalid escape at line 1 column 38"},
        {name_prefix + "\"\\uDC00\"", "lone leading surrogate in hex escape at line 1 column 38"},
        {name_prefix + "\"\\uD800x\"", "unexpected end of hex escape at line 1 column 39"},
        {name_prefix + "\"\\uD800\"", "unexpected end of hex escape at line 1 column 39"},
        {name_prefix + "\"\\uD800\\x\"", "unexpected end of hex escape at line 1 column 40"},
        {name_prefix + "\"\\uD800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 44"},
        {name_prefix + "\"\\uD800\\uD800\"", "lone leading surrogate in hex escape at line 1 column 44"},
        {name_prefix + "\"\\uD800\\uZZZZ\"", "invalid escape at line 1 column 44"},
        {name_prefix + "\"\\uD800", "EOF while parsing a string at line 1 column 38"},
        {name_prefix + "\"\\uD800\\", "EOF while parsing a string at line 1 column 39"},
        {name_prefix + "\"\\u12\"", "EOF while parsing a string at line 1 column 37"},
        {name_prefix + "\"\\u12\"}", "invalid escape at line 1 column 38"},
        {name_prefix + "\"\\", "EOF while parsing a string at line 1 column 33"},
        {name_prefix + "\"abc", "EOF while parsing a string at line 1 column 35"},
        {name_prefix + "\"a long plain run that ends nowhere", "EOF while parsing a string at line 1 column 66"},
        {name_prefix + "\"0123456789abcdef\x1f\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 49"},
    });
}

TEST(JsonReaderSyntax, EscapesDecode) {
    const struct {
        std::string escaped;
        std::string decoded;
    } cases[] = {
        {R"(\"\\\/\b\f\n\r\t)", "\"\\/\b\f\n\r\t"},
        {R"(\u00e9\u00C9)", "\xC3\xA9\xC3\x89"},
        {R"(\u20AC)", "\xE2\x82\xAC"},
        {R"(\uD83D\uDE00)", "\xF0\x9F\x98\x80"},
        {R"(\u0000x)", std::string("\0x", 2)},
        {R"(a much longer plain prefix then \n an escape)", "a much longer plain prefix then \n an escape"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
    };
    for (const auto& c : cases) {
        const Node n = read_ok(name_prefix + "\"" + c.escaped + "\",\"kind\":\"salt\"}");
        ASSERT_TRUE(n.is<Compound>());
        EXPECT_EQ(n.get_if<Compound>()->name, c.decoded) << c.escaped;
    }
    // Keys compare after decoding.
    const Node n = read_ok(R"({"node_\u0074ype":"compound","n\u0061me":"EC","kind":"salt"})");
    EXPECT_EQ(n.get_if<Compound>()->name, "EC");
}

TEST(JsonReaderSyntax, TokensAndStructure) {
    expect_cases({
        {"{", "EOF while parsing an object at line 1 column 1"},
        {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
        {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
        {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
        {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
        {"{\"a\" 1}", "expected `:` at line 1 column 6"},
        {"{\"a\":1 2}", "expected `,` or `}` at line 1 column 8"},
        {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
        {"{,}", "key must be a string at line 1 column 2"},
        {"[", "EOF while parsing a list at line 1 column 1"},
        {"[\"compound\"", "EOF while parsing a list at line 1 column 11"},
        {"[\"compound\",", "EOF while parsing a value at line 1 column 12"},
        {"[\"compound\" 1]", "expected `,` or `]` at line 1 column 13"},
        {"[\"compound\",]", "trailing comma at line 1 column 13"},
        {"[,]", "expected value at line 1 column 2"},
        {ec_with_x + "[1,,2]}", "expected value at line 1 column 61"},
        {ec_with_x + "tru", "EOF while parsing a value at line 1 column 60"},
        {ec_with_x + "trUe}", "expected ident at line 1 column 60"},
        {ec_with_x + "nope}", "expected ident at line 1 column 59"},
        {ec_with_x + "False}", "expected value at line 1 column 58"},
        {ec_with_x + "fals", "EOF while parsing a value at line 1 column 61"},
        {ec_with_x + "true,\"y\":false,\"z\":null}", "ok"},
    });
}

TEST(JsonReaderSyntax, Numbers) {
    // The value of x starts at offset 57.
    expect_cases({
        {ec_with_x + "01}", "invalid number at line 1 column 59"},
        {ec_with_x + "-01}", "invalid number at line 1 column 60"},
        {ec_with_x + "-x}", "invalid number at line 1 column 59"},
        {ec_with_x + "-", "EOF while parsing a value at line 1 column 58"},
        {ec_with_x + "1.}", "invalid number at line 1 column 60"},
        {ec_with_x + "1.", "EOF while parsing a value at line 1 column 59"},
        {ec_with_x + "1e}", "invalid number at line 1 column 60"},
        {ec_with_x + "1e+}", "invalid number at line 1 column 61"},
        {ec_with_x + "1e", "EOF while parsing a value at line 1 column 59"},
        {ec_with_x + "1E-", "EOF while parsing a value at line 1 column 60"},
        {ec_with_x + ".5}", "expected value at line 1 column 58"},
        {ec_with_x + "+5}", "expected value at line 1 column 58"},
        {ec_with_x + "1e400}", "number out of range at line 1 column 62"},
        {ec_with_x + "-1e400}", "number out of range at line 1 column 63"},
        {ec_with_x + "1e309}", "number out of range at line 1 column 62"},
        {ec_with_x + "1e-400}", "ok"},
        {ec_with_x + "1.7976931348623158e308}", "ok"},
        {ec_with_x + "1.7976931348623159e308}", "number out of range at line 1 column 79"},
        {ec_with_x + "123456789012345678901234567890}", "ok"},
        {ec_with_x + "0.0e0}", "ok"},
        {ec_with_x + "1e99999999999999999999}", "number out of range at line 1 column 79"},
        {ec_with_x + "0e99999999999999999999}", "ok"},
        {ec_with_x + "1e-99999999999999999999}", "ok"},
    });
}

// A compound whose share (inside a ratio mixture) is written as `text`.
double share_read_from(const std::string& text) {
    const Node n = read_ok(R"({"node_type":"ratio_mixture","terms":[{"compound":{"name":"EC","kind":"solvent"},"share":)" +
                           text + "}],\"basis\":\"wt\"}");
    const auto* mixture = n.get_if<RatioMixture>();
    if (mixture == nullptr || mixture->terms.size() != 1) return std::nan("");
    return mixture->terms[0].share;
}

TEST(JsonReaderNumbers, NearestFloatToTheText) {
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {"0.30000000000000004", 0.1 + 0.2},
        {"5e-324", 5e-324},
        {"2.4703282292062328e-324", 5e-324},
        {"2.4703282292062327e-324", 0.0},
        {"1e-400", 0.0},
        {"1.7976931348623157e308", 1.7976931348623157e308},
        {"1.7976931348623158e308", std::numeric_limits<double>::max()},
        {"123456789012345678", 123456789012345678.0},
        {"1e23", 1e23},
        {"8.98846567431158e307", 8.98846567431158e307},
        {"3", 3.0},
        {"3.0", 3.0},
        {"30e-1", 3.0},
        {"-2", -2.0},
        {"18446744073709551615", 18446744073709551615.0},
        {"18446744073709551616", 18446744073709551616.0},
        {"-9223372036854775808", -9223372036854775808.0},
        {"-9223372036854775809", -9223372036854775809.0},
        {"9007199254740993", 9007199254740992.0},
        {"0.1000000000000000055511151231257827021181583404541015625", 0.1},
    };
    for (const auto& c : cases) {
        const double got = share_read_from(c.text);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(c.value)) << c.text << " read as " << got;
    }
    const double negative_zero = share_read_from("-0");
    EXPECT_TRUE(negative_zero == 0.0 && std::signbit(negative_zero));
    EXPECT_TRUE(std::signbit(share_read_from("-0.0")));
    EXPECT_FALSE(std::signbit(share_read_from("0")));
}

TEST(JsonReaderNumbers, WriterTextReadsBackExactly) {
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> small(0.0, 100.0);
    for (int i = 0; i < 20000; ++i) {
        double value = small(random);
        if (i % 4 == 1) value = std::bit_cast<double>(random() & 0x7FEFFFFFFFFFFFFFULL);  // any finite magnitude
        if (i % 4 == 2) value = -value;
        std::string text;
        append_json_number(text, value);
        const double back = share_read_from(text);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(value)) << text;
    }
}

// Trees covering every node kind, unit, kind and basis, empty lists, names
// with escapes and non-ASCII text.
std::vector<Node> round_trip_trees() {
    std::vector<Node> trees;
    trees.push_back(leaf("EC", solvent));
    trees.push_back(leaf("", unknown));
    trees.push_back(leaf("quote \" backslash \\ tab \t line\nfeed \x01 \x7f", salt));
    trees.push_back(leaf("LiPF\xE2\x82\x86 \xC3\xA9thyl\xC3\xA8ne \xF0\x9F\x94\x8B", salt));
    trees.push_back(ratio({{Compound{"EC", solvent}, 3}, {Compound{"DMC", solvent}, 7}}, RatioBasis::Weight));
    trees.push_back(ratio({{Compound{"EC", solvent}, 0.5}, {Compound{"PC", unknown}, 1e-7}}, RatioBasis::Mole));
    trees.push_back(ratio({}, RatioBasis::Volume));
    trees.push_back(solution(molar(1), leaf("LiPF6", salt),
                             ratio({{Compound{"EC", solvent}, 30}, {Compound{"DMC", solvent}, 70}}, RatioBasis::Volume)));
    trees.push_back(solution(molal(0.1 + 0.2), leaf("LiTFSI", salt), leaf("DME", solvent)));
    trees.push_back(blend(term(solution(molar(1.2), leaf("LiPF6", salt), leaf("EC", solvent))), term(leaf("FEC"), wt(2)),
                          term(leaf("VC"), mol(1e20)), term(leaf("X"), vol(-0.0))));
    trees.push_back(blend());
    trees.push_back(blend(term(blend(term(leaf("A"), wt(5)), term(leaf("B"))), vol(123456789012345678.0))));
    return trees;
}

TEST(JsonReaderRoundTrip, WriterTextReadsBackIntoTheSameText) {
    for (const Node& tree : round_trip_trees()) {
        for (const std::string& text : {to_json_text(tree), to_json_text_pretty(tree)}) {
            auto back = read_json_tree(text);
            ASSERT_TRUE(back.has_value()) << text << "\n" << back.error().display();
            EXPECT_EQ(to_json_text(*back), to_json_text(tree)) << text;
            EXPECT_EQ(to_json_text_pretty(*back), to_json_text_pretty(tree));
        }
    }
}

TEST(JsonReaderRoundTrip, LargeTreesReadBack) {
    // Long lists and many small objects: the buffered value spans many
    // blocks of memory and lists longer than one block.
    std::vector<RatioTerm> terms;
    for (int i = 0; i < 5000; ++i) terms.push_back({Compound{"solvent number " + std::to_string(i), solvent}, i * 0.25});
    const Node mixture = ratio(std::move(terms), RatioBasis::Mole);
    Blend wide;
    for (int i = 0; i < 3000; ++i) wide.terms.push_back(term(leaf("A" + std::to_string(i)), wt(i)));
    const Node blended(std::move(wide));
    for (const Node* tree : {&mixture, &blended}) {
        const std::string text = to_json_text(*tree);
        auto back = read_json_tree(text);
        ASSERT_TRUE(back.has_value()) << back.error().display();
        EXPECT_EQ(to_json_text(*back), text);
    }
}

TEST(JsonReaderRoundTrip, NonFiniteNumbersWriteNullThatDoesNotRead) {
    const Node tree = solution(molar(std::nan("")), leaf("LiPF6", salt), leaf("EC", solvent));
    EXPECT_EQ(outcome(to_json_text(tree)), "invalid type: null, expected f64");
    const Node share = ratio({{Compound{"EC", solvent}, std::numeric_limits<double>::infinity()}});
    EXPECT_EQ(outcome(to_json_text_pretty(share)), "invalid type: null, expected f64");
}

// Blends nested `depth` times: each nested blend costs three levels.
Node nested_blends(int depth) {
    Node n = leaf("EC", solvent);
    for (int i = 0; i < depth; ++i) n = blend(term(std::move(n)));
    return n;
}

TEST(JsonReaderRoundTrip, DeepTreesWriteTextThatIsRefused) {
    // 42 blends and the leaf: 127 levels; one blend more: 130.
    EXPECT_EQ(outcome(to_json_text(nested_blends(42))), "ok");
    const std::string deeper = to_json_text(nested_blends(43));
    const std::string refused = outcome(deeper);
    EXPECT_EQ(refused.rfind("recursion limit exceeded at line 1 column ", 0), 0u) << refused;
}

TEST(JsonReaderRobustness, DamagedTextsGiveOneErrorAndNoCrash) {
    std::vector<std::string> texts;
    for (const Node& tree : round_trip_trees()) {
        texts.push_back(to_json_text(tree));
        texts.push_back(to_json_text_pretty(tree));
    }
    texts.push_back(R"(["solution",["compound","LiPF6","salt"],{"node_type":1,"terms":[],"basis":{"wt":{}}},[1,"M"]])");
    const std::string replacements = "}]\",\\ex";
    std::size_t failures = 0;
    for (const std::string& text : texts) {
        for (std::size_t cut = 0; cut < text.size(); ++cut) {
            auto r = read_json_tree(std::string_view(text).substr(0, cut));
            ASSERT_FALSE(r.has_value()) << text.substr(0, cut);
            EXPECT_FALSE(r.error().message.empty());
            ++failures;
        }
        for (std::size_t at = 0; at < text.size(); ++at) {
            for (const char c : replacements) {
                std::string damaged = text;
                damaged[at] = c;
                auto r = read_json_tree(damaged);
                if (!r) EXPECT_FALSE(r.error().message.empty());
            }
        }
    }
    EXPECT_GT(failures, 0u);
}

TEST(JsonReaderRobustness, RandomTextsGiveOneErrorAndNoCrash) {
    const std::vector<std::string> pieces = {"{", "}", "[", "]", ",", ":", "\"", "\\", "\\u", "D83D", "node_type",
                                             "\"node_type\"", "\"compound\"", "\"blend\"", "\"terms\"", "\"name\"",
                                             "0", "-", "1e", "999999999999999999999", ".5", "true", "null", " ",
                                             "\n", "\xC3\xA9", "\xF0\x9F\x94\x8B", "\t", "x"};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int n = length(random);
        for (int k = 0; k < n; ++k) text += pieces[pick(random)];
        auto r = read_json_tree(text);
        if (!r) EXPECT_FALSE(r.error().message.empty()) << text;
    }
}

}  // namespace
}  // namespace kelmora
