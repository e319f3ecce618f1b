#include <gtest/gtest.h>

#include <string>

#include "model/json_scanner.hpp"

namespace kelmora::json {
namespace {

TEST(JsonScanner, PositionsCountLineFeedsAndBytes) {
    const std::string text = "ab\ncd\r\n\xC3\xA9x";
    EXPECT_EQ(position_of(text, 0).line, 1u);
    EXPECT_EQ(position_of(text, 0).column, 0u);
    EXPECT_EQ(position_of(text, 2).column, 2u);
    EXPECT_EQ(position_of(text, 3).line, 2u);
    EXPECT_EQ(position_of(text, 3).column, 0u);
    // The carriage return is an ordinary byte of its line.
    EXPECT_EQ(position_of(text, 6).column, 3u);
    // Columns count bytes: the two bytes of the e acute count two.
    EXPECT_EQ(position_of(text, 10).line, 3u);
    EXPECT_EQ(position_of(text, 10).column, 3u);
}

TEST(JsonScanner, NumberKinds) {
    const struct {
        const char* text;
        ScannedNumber::Kind kind;
    } cases[] = {
        {"0", ScannedNumber::Kind::Unsigned},
        {"18446744073709551615", ScannedNumber::Kind::Unsigned},
        {"18446744073709551616", ScannedNumber::Kind::Float},
        {"-1", ScannedNumber::Kind::Signed},
        {"-9223372036854775808", ScannedNumber::Kind::Signed},
        {"-9223372036854775809", ScannedNumber::Kind::Float},
        {"-0", ScannedNumber::Kind::Float},
        {"1.0", ScannedNumber::Kind::Float},
        {"1e2", ScannedNumber::Kind::Float},
    };
    for (const auto& c : cases) {
        Scanner sc(c.text);
        auto n = sc.parse_number();
        ASSERT_TRUE(n.has_value()) << c.text;
        EXPECT_EQ(n->kind, c.kind) << c.text;
        EXPECT_TRUE(sc.at_end());
    }
    Scanner min("-9223372036854775808");
    EXPECT_EQ(min.parse_number()->i, INT64_MIN);
    Scanner max("18446744073709551615");
    EXPECT_EQ(max.parse_number()->u, UINT64_MAX);
}

TEST(JsonScanner, StringsBorrowUnlessEscaped) {
    const std::string text = R"("plain" "esc\naped")";
    Scanner sc(text);
    auto plain = sc.parse_string();
    ASSERT_TRUE(plain.has_value());
    EXPECT_TRUE(plain->borrowed);
    EXPECT_EQ(plain->text, "plain");
    EXPECT_EQ(plain->text.data(), text.data() + 1);
    EXPECT_EQ(sc.peek(), '"');
    auto escaped = sc.parse_string();
    ASSERT_TRUE(escaped.has_value());
    EXPECT_FALSE(escaped->borrowed);
    EXPECT_EQ(escaped->text, "esc\naped");
}

// A direct reader as the compound table's: object of objects, skipping
// unknown values, with its own positioned errors.
TEST(JsonScanner, DirectReading) {
    const std::string text = "{\"a\": {\"kind\": \"salt\", \"x\": [1, {\"y\": null}]},\n \"b\": {\"other\": true}}";
    Scanner sc(text);
    ASSERT_EQ(sc.begin_value().value(), '{');
    sc.advance();
    ASSERT_TRUE(sc.enter().has_value());
    std::vector<std::string> seen;
    std::string error;
    for (bool first = true;; first = false) {
        auto more = sc.next_key(first);
        ASSERT_TRUE(more.has_value()) << more.error().display();
        if (!*more) break;
        std::string key(sc.parse_string().value().text);
        ASSERT_TRUE(sc.parse_colon().has_value());
        ASSERT_EQ(sc.begin_value().value(), '{');
        sc.advance();
        ASSERT_TRUE(sc.enter().has_value());
        bool has_kind = false;
        for (bool inner_first = true;; inner_first = false) {
            auto field = sc.next_key(inner_first);
            ASSERT_TRUE(field.has_value());
            if (!*field) break;
            const std::string name(sc.parse_string().value().text);
            ASSERT_TRUE(sc.parse_colon().has_value());
            if (name == "kind") {
                ASSERT_EQ(sc.begin_value().value(), '"');
                seen.push_back(key + "=" + std::string(sc.parse_string().value().text));
                has_kind = true;
            } else {
                ASSERT_TRUE(sc.skip_value().has_value());
            }
        }
        sc.leave();
        if (!has_kind && error.empty()) error = sc.error_at("missing field `kind`", sc.offset()).display();
    }
    sc.leave();
    EXPECT_TRUE(sc.finish().has_value());
    EXPECT_EQ(seen, std::vector<std::string>{"a=salt"});
    EXPECT_EQ(error, "missing field `kind` at line 2 column 21");
}

TEST(JsonScanner, SkipValueReportsSyntaxAndDepth) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {R"([1, {"a": [true, false, null, "s\u00e9"]}, -2.5e3])", "ok"},
        {R"([1, {"a" 2}])", "expected `:` at line 1 column 10"},
        {R"({"a": [1,]})", "trailing comma at line 1 column 10"},
        {std::string(127, '[') + std::string(127, ']'), "ok"},
        {std::string(128, '['), "recursion limit exceeded at line 1 column 128"},
        {"1e400", "number out of range at line 1 column 5"},
    };
    for (const auto& c : cases) {
        Scanner sc(c.text);
        auto r = sc.skip_value();
        EXPECT_EQ(r ? std::string("ok") : r.error().display(), c.expected) << c.text;
    }
}

}  // namespace
}  // namespace kelmora::json
