#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "kelmora/errors.hpp"
#include "tree_fixtures.hpp"

namespace kelmora {
namespace {

using fixtures::inf;
using fixtures::nan;
using fixtures::NumberCase;

TEST(NumberText, FollowsTheTable) {
    const NumberCase cases[] = {
        {1, "1"},
        {0.5, "0.5"},
        {2.25, "2.25"},
        {0.1, "0.1"},
        {1e-7, "0.0000001"},
        {1e20, "1" + std::string(20, '0')},
        {std::ldexp(1.0, 60), "1152921504606847000"},
        {-3, "-3"},
        {0.0, "0"},
        {-0.0, "-0"},
        {nan, "NaN"},
        {-nan, "NaN"},
        {inf, "inf"},
        {-inf, "-inf"},
        {123.456, "123.456"},
        {-0.001, "-0.001"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e16, "10000000000000000"},
        {std::numeric_limits<double>::max(), "17976931348623157" + std::string(292, '0')},
        {std::numeric_limits<double>::denorm_min(), "0." + std::string(323, '0') + "5"},
        {-2.2250738585072014e-308, "-0." + std::string(307, '0') + "22250738585072014"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(number_text(c.value), c.text) << c.text;
        std::string appended = "x";
        append_number_text(appended, c.value);
        EXPECT_EQ(appended, "x" + c.text);
    }
}

TEST(ShortestDigits, DigitsAndExponentOfTheFirstDigit) {
    struct Case {
        double value;
        std::string digits;
        int exponent;
    };
    const Case cases[] = {
        {1, "1", 0},
        {100, "1", 2},
        {0.000123, "123", -4},
        {0.1 + 0.2, "30000000000000004", -1},
        {std::numeric_limits<double>::max(), "17976931348623157", 308},
        {std::numeric_limits<double>::denorm_min(), "5", -324},
    };
    for (const auto& c : cases) {
        const ShortestDigits d = shortest_digits(c.value);
        EXPECT_EQ(std::string(d.digits, static_cast<std::size_t>(d.count)), c.digits);
        EXPECT_EQ(d.exponent, c.exponent);
    }
}

Error parse_error() {
    auto positional = std::make_unique<PositionalError>();
    positional->position = 3;
    positional->column = 4;
    positional->line_text = "1M ?";
    positional->expected = {Rule::compound, Rule::bracketed};
    return Error(errors::ParseError{std::move(positional)});
}

TEST(ErrorMessage, ParseErrorWrapsThePositionalText) {
    const Error error = parse_error();
    EXPECT_EQ(error.message(), "parse error: " + positional_error_text(*error.get_if<errors::ParseError>()->positional));
}

TEST(ErrorMessage, EveryTemplate) {
    EXPECT_EQ(Error(errors::SolutionRelativeUnitOutsideSolution{{1, ConcentrationUnit::Molar}}).message(),
              "1M is a solution-relative unit and is only meaningful relative to a solvent; it must be the "
              "concentration in a '<amount> <salt> in <solvent>' expression, not a bare term added with '+' (or "
              "standing alone)");
    EXPECT_EQ(Error(errors::MissingSoluteAmount{}).message(),
              "'in' requires a concentration before it, e.g. '1M LiPF6 in EC' -- no amount was given");
    EXPECT_EQ(Error(errors::IncompatibleRatioKinds{"EC: Solvent, LiPF6: Salt"}).message(),
              "ratio mixture combines incompatible compound kinds (EC: Solvent, LiPF6: Salt); all named components "
              "in a ratio (x:y) must be the same kind (e.g. all solvents, or all salts) unless their kind is "
              "unrecognized");
    EXPECT_EQ(Error(errors::RatioShareCountMismatch{2, 3}).message(),
              "ratio has 2 name(s) but 3 share value(s); these lists must be the same length");
    EXPECT_EQ(Error(errors::MissingUnits{}).message(),
              "a ratio (x:y) must state its basis explicitly, e.g. '3:7wt' -- there is no sensible default to "
              "assume for a bare '3:7', since it could plausibly mean a weight, mole, or volume ratio");
    EXPECT_EQ(Error(errors::MultipleBaseBlendTerms{3}).message(),
              "a blend ('+') may have at most one component with no explicit amount (the implicit base/majority "
              "component); found 3");
}

TEST(ErrorMessage, PayloadsAreInsertedAsTheyStand) {
    using testing::StartsWith;
    const auto relative = [](double value, ConcentrationUnit unit) {
        return Error(errors::SolutionRelativeUnitOutsideSolution{{value, unit}}).message();
    };
    EXPECT_THAT(relative(nan, ConcentrationUnit::Molar), StartsWith("NaNM is a solution-relative unit"));
    EXPECT_THAT(relative(-0.0, ConcentrationUnit::Molal), StartsWith("-0m is a solution-relative unit"));
    EXPECT_THAT(relative(0.5, ConcentrationUnit::Molal), StartsWith("0.5m is a solution-relative unit"));
    EXPECT_THAT(relative(-inf, ConcentrationUnit::Molar), StartsWith("-infM is a solution-relative unit"));
    EXPECT_THAT(relative(2.25, ConcentrationUnit::WeightPercent), StartsWith("2.25wt% is a solution-relative unit"));
    EXPECT_THAT(Error(errors::IncompatibleRatioKinds{"\xc3\xa9thyl: Solvent, Li\xe2\x82\x82: Salt"}).message(),
                StartsWith("ratio mixture combines incompatible compound kinds (\xc3\xa9thyl: Solvent, "
                           "Li\xe2\x82\x82: Salt); all named"));
    EXPECT_THAT(Error(errors::RatioShareCountMismatch{18446744073709551615u, 0}).message(),
                StartsWith("ratio has 18446744073709551615 name(s) but 0 share value(s)"));
}

TEST(ErrorMessage, WriteMessageAppendsAndStreamsWriteTheSame) {
    const Error error(errors::MultipleBaseBlendTerms{2});
    std::string out = "error: ";
    error.write_message(out);
    EXPECT_EQ(out, "error: " + error.message());
    std::ostringstream stream;
    stream << error;
    EXPECT_EQ(stream.str(), error.message());
    EXPECT_TRUE(stream.good());
}

TEST(ErrorMessage, AFailingStreamReportsItsFailure) {
    std::ostringstream stream;
    stream.setstate(std::ios::badbit);
    EXPECT_FALSE(static_cast<bool>(stream << Error(errors::MissingUnits{})));
}

TEST(ErrorKind, NameIsTheIdentifier) {
    EXPECT_EQ(parse_error().kind_name(), "ParseError");
    EXPECT_EQ(Error(errors::SolutionRelativeUnitOutsideSolution{}).kind_name(), "SolutionRelativeUnitOutsideSolution");
    EXPECT_EQ(Error(errors::MissingSoluteAmount{}).kind_name(), "MissingSoluteAmount");
    EXPECT_EQ(Error(errors::IncompatibleRatioKinds{}).kind_name(), "IncompatibleRatioKinds");
    EXPECT_EQ(Error(errors::RatioShareCountMismatch{}).kind_name(), "RatioShareCountMismatch");
    EXPECT_EQ(Error(errors::MissingUnits{}).kind_name(), "MissingUnits");
    EXPECT_EQ(Error(errors::MultipleBaseBlendTerms{}).kind_name(), "MultipleBaseBlendTerms");
}

TEST(ErrorKind, VariantsKeepTheirOrder) {
    EXPECT_EQ(parse_error().value.index(), 0u);
    EXPECT_EQ(Error(errors::MultipleBaseBlendTerms{}).value.index(), 6u);
    EXPECT_TRUE(Error(errors::MissingUnits{}).is<errors::MissingUnits>());
}

}  // namespace
}  // namespace kelmora
