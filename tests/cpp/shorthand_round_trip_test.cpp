// Randomized properties of the shorthand road: canonical text parses back to
// itself, and arbitrary text gives a tree or one error, never a crash.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "kelmora/parser.hpp"
#include "kelmora/render.hpp"

namespace kelmora {
namespace {

bool all_finite(const Node& node) {
    if (const auto* mixture = node.get_if<RatioMixture>()) {
        for (const auto& term : mixture->terms)
            if (!std::isfinite(term.share)) return false;
        return true;
    }
    if (const auto* solution = node.get_if<Solution>())
        return std::isfinite(solution->solute_amount.value) && all_finite(*solution->solute) &&
               all_finite(*solution->solvent);
    if (const auto* blend = node.get_if<Blend>()) {
        for (const auto& term : blend->terms)
            if ((term.amount && !std::isfinite(term.amount->value)) || !all_finite(term.node)) return false;
    }
    return true;
}

// Random shorthand that the grammar accepts, in every spelling and spacing
// the notation allows; most of it also passes the checks.
class ShorthandGenerator {
public:
    explicit ShorthandGenerator(std::uint32_t seed) : random_(seed) {}

    std::string formulation() { return blanks() + blend(0) + blanks(); }

private:
    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }

    template <std::size_t N>
    std::string_view one_of(const std::array<std::string_view, N>& items) {
        return items[pick(N)];
    }

    std::string blanks() {
        static constexpr std::array<std::string_view, 5> runs = {"", "", " ", "\t", "  \t"};
        return std::string(one_of(runs));
    }
    // Where a blank is needed to keep two words apart.
    std::string separator() { return chance(0.8) ? " " : " \t"; }

    std::string number() {
        std::string text = std::to_string(pick(chance(0.2) ? 100000 : 20));
        if (chance(0.4)) text += "." + std::to_string(pick(1000));
        if (chance(0.05)) text = "0" + text;
        return text;
    }

    std::string percentage() {
        static constexpr std::array<std::string_view, 9> units = {"wt%", "w%", "mass%", "weight%", "mol%",
                                                                  "mole%", "vol%", "volume%", "wt%"};
        return number() + blanks() + std::string(one_of(units));
    }

    std::string any_amount() {
        static constexpr std::array<std::string_view, 4> units = {"M", "m", "molar", "molal"};
        if (chance(0.5)) return percentage();
        return number() + blanks() + std::string(one_of(units));
    }

    std::string name() {
        static constexpr std::array<std::string_view, 16> names = {
            "EC", "DMC", "EMC", "PC", "DEC", "VC", "FEC", "LiPF6", "LiTFSI", "LiBF4", "ec", "(CH3)2CO",
            "Mg(TFSI)2", "Foo", "2MeTHF", "X1",
        };
        return std::string(one_of(names));
    }

    std::string solvent_name() {
        static constexpr std::array<std::string_view, 9> names = {"EC", "DMC", "EMC", "PC", "DEC",
                                                                  "FEC", "Sol7", "dmc", "Acetonitrile"};
        return std::string(one_of(names));
    }

    std::string ratio() {
        const std::size_t count = 2 + pick(3);
        std::string names, shares;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) {
                names += blanks() + ":" + blanks();
                shares += blanks() + ":" + blanks();
            }
            names += solvent_name();
            shares += number();
        }
        static constexpr std::array<std::string_view, 9> bases = {"wt", "w", "mass", "weight", "mol",
                                                                  "mole", "vol", "volume", "v"};
        return names + separator() + shares + blanks() + std::string(one_of(bases));
    }

    // An atom, and whether it ends in a name or basis (so that a following
    // "in" needs a blank before it).
    std::string atom(int depth) {
        const std::size_t choice = depth >= 2 ? pick(2) : pick(5);
        if (choice == 0 || choice == 3) return name();
        if (choice == 1) return ratio();
        return "(" + blanks() + blend(depth + 1) + blanks() + ")";
    }

    std::string solution(int depth) {
        return any_amount() + separator() + atom(depth) + separator() + "in" + separator() + atom(depth);
    }

    std::string term(int depth, bool with_amount) {
        if (!with_amount) return chance(0.3) ? solution(depth) : atom(depth);
        return percentage() + separator() + (chance(0.2) ? "(" + solution(depth) + ")" : atom(depth));
    }

    std::string blend(int depth) {
        const std::size_t count = 1 + pick(depth == 0 ? 4 : 2);
        const std::size_t base = chance(0.7) ? pick(count) : count;
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) text += blanks() + "+" + blanks();
            text += count == 1 ? (chance(0.5) ? solution(depth) : term(depth, chance(0.5))) : term(depth, i != base);
        }
        return text;
    }

    std::mt19937 random_;
};

TEST(ShorthandRoundTrip, CanonicalTextParsesBackToItself) {
    ShorthandGenerator generator(20240611);
    std::size_t built = 0;
    constexpr std::size_t rounds = 3000;
    for (std::size_t i = 0; i < rounds; ++i) {
        const std::string text = generator.formulation();
        auto outcome = parse_and_validate(text);
        if (!outcome) {
            // Only the checks may refuse generated text, never the grammar.
            ASSERT_FALSE(outcome.error().is<errors::ParseError>()) << text << "\n" << outcome.error().message();
            continue;
        }
        ++built;
        if (!all_finite(outcome->tree)) continue;
        const std::string canonical = render(outcome->tree);
        auto again = parse_and_validate(canonical);
        ASSERT_TRUE(again.has_value()) << text << "\n" << canonical << "\n" << again.error().message();
        ASSERT_EQ(render(again->tree), canonical) << text;
    }
    // Most generated texts must get through, or the property says little.
    EXPECT_GT(built, rounds / 2);
}

TEST(ShorthandRoundTrip, CanonicalTextOfKnownTexts) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1 molar LiPF6 in ec : dmc 3 : 7 weight", "1M LiPF6 in EC:DMC 3:7wt"},
        {"  (1M LiPF6 in EC)\t+ 2 w% VC ", "1M LiPF6 in EC + 2wt% VC"},
        {"1.50M LiPF6 in (EC:DMC 1:1v + 0.5mole% FEC)", "1.5M LiPF6 in (EC:DMC 1:1vol + 0.5mol% FEC)"},
        {"2wt% (1M LiPF6 in EC) + EC", "2wt% (1M LiPF6 in EC) + EC"},
        {"1M LiPF6 in (1m LiBF4 in PC)", "1M LiPF6 in (1m LiBF4 in PC)"},
        {"0.0M X in Y", "0M X in Y"},
    };
    for (const auto& [text, canonical] : cases) {
        auto outcome = parse_and_validate(text);
        ASSERT_TRUE(outcome.has_value()) << text << "\n" << outcome.error().message();
        EXPECT_EQ(render(outcome->tree), canonical) << text;
    }
}

TEST(ShorthandRoundTrip, ArbitraryTextGivesATreeOrOneError) {
    static constexpr std::array<std::string_view, 32> pieces = {
        "(", ")", "+", ":", " ", "\t", "in", "M", "m", "wt%", "mol", "vol", "%", ".", "0", "7", "12", "E", "C",
        "Li", "PF6", "x", "\n", "\r", "\u00E9", "\u2086", "\U0001F600", "(CH3)", "weight", "e", "-", "w",
    };
    std::mt19937 random(7);
    std::size_t built = 0;
    for (std::size_t i = 0; i < 20000; ++i) {
        std::string text;
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 24)(random);
        for (std::size_t j = 0; j < length; ++j)
            text += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        auto outcome = parse_and_validate(text);
        if (outcome) {
            ++built;
            (void)render(outcome->tree);
            continue;
        }
        const std::string message = outcome.error().message();
        if (const auto* parse = outcome.error().get_if<errors::ParseError>()) {
            ASSERT_TRUE(message.starts_with("parse error:  --> 1:")) << text;
            ASSERT_FALSE(parse->positional->expected.empty() && parse->positional->fixed_message.empty()) << text;
            ASSERT_LE(parse->positional->position, text.size());
        }
    }
    EXPECT_GT(built, 0u);
}

}  // namespace
}  // namespace kelmora
