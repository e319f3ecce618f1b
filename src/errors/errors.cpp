// The messages of the library's error type.
#include <array>
#include <charconv>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "kelmora/errors.hpp"
#include "kelmora/internal_error.hpp"

namespace kelmora {

namespace {

constexpr std::array<std::string_view, std::variant_size_v<Error::Variant>> kind_names = {
    "ParseError",           "SolutionRelativeUnitOutsideSolution", "MissingSoluteAmount",
    "IncompatibleRatioKinds", "RatioShareCountMismatch",           "MissingUnits",
    "MultipleBaseBlendTerms",
};

void append_count(std::string& out, std::uint64_t count) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, count);
    out.append(text, result.ptr);
}

struct MessageWriter {
    std::string& out;

    void operator()(const errors::ParseError& e) const {
        if (!e.positional) internal_error("a parse error without its position");
        out += "parse error: ";
        out += positional_error_text(*e.positional);
    }
    void operator()(const errors::SolutionRelativeUnitOutsideSolution& e) const {
        append_number_text(out, e.amount.value);
        out += unit_text(e.amount.unit);
        out += " is a solution-relative unit and is only meaningful relative to a solvent; it must be the "
               "concentration in a '<amount> <salt> in <solvent>' expression, not a bare term added with "
               "'+' (or standing alone)";
    }
    void operator()(const errors::MissingSoluteAmount&) const {
        out += "'in' requires a concentration before it, e.g. '1M LiPF6 in EC' -- no amount was given";
    }
    void operator()(const errors::IncompatibleRatioKinds& e) const {
        out += "ratio mixture combines incompatible compound kinds (";
        out += e.listing;
        out += "); all named components in a ratio (x:y) must be the same kind (e.g. all solvents, or all "
               "salts) unless their kind is unrecognized";
    }
    void operator()(const errors::RatioShareCountMismatch& e) const {
        out += "ratio has ";
        append_count(out, e.names);
        out += " name(s) but ";
        append_count(out, e.shares);
        out += " share value(s); these lists must be the same length";
    }
    void operator()(const errors::MissingUnits&) const {
        out += "a ratio (x:y) must state its basis explicitly, e.g. '3:7wt' -- there is no sensible default "
               "to assume for a bare '3:7', since it could plausibly mean a weight, mole, or volume ratio";
    }
    void operator()(const errors::MultipleBaseBlendTerms& e) const {
        out += "a blend ('+') may have at most one component with no explicit amount (the implicit "
               "base/majority component); found ";
        append_count(out, e.count);
    }
};

}  // namespace

std::string_view Error::kind_name() const noexcept { return kind_names[value.index()]; }

void Error::write_message(std::string& out) const { std::visit(MessageWriter{out}, value); }

std::string Error::message() const {
    std::string out;
    write_message(out);
    return out;
}

std::ostream& operator<<(std::ostream& out, const Error& error) {
    const std::string text = error.message();
    return out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace kelmora
