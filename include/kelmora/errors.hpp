// The library's single error type and its messages, and the number text
// that the messages use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "kelmora/model.hpp"
#include "kelmora/positional_error.hpp"

namespace kelmora {

namespace errors {
struct ParseError {
    std::unique_ptr<PositionalError> positional;
};
struct SolutionRelativeUnitOutsideSolution {
    Amount amount;
};
struct MissingSoluteAmount {};
struct IncompatibleRatioKinds {
    std::string listing;
};
struct RatioShareCountMismatch {
    std::uint64_t names = 0;
    std::uint64_t shares = 0;
};
struct MissingUnits {};
struct MultipleBaseBlendTerms {
    std::uint64_t count = 0;
};
}  // namespace errors

// Seven variants in this order; the variant's identifier is its kind name.
struct Error {
    using Variant = std::variant<errors::ParseError, errors::SolutionRelativeUnitOutsideSolution,
                                 errors::MissingSoluteAmount, errors::IncompatibleRatioKinds,
                                 errors::RatioShareCountMismatch, errors::MissingUnits,
                                 errors::MultipleBaseBlendTerms>;
    Variant value;

    template <class T>
    static constexpr bool is_payload = []<class... A>(std::variant<A...>*) {
        return (std::is_same_v<T, A> || ...);
    }(static_cast<Variant*>(nullptr));

    // Built from exactly one of the payload types: an unconstrained
    // constructor would also claim std::expected<..., Error> and send
    // libc++'s conversion checks of expected into a loop.
    template <class T>
        requires is_payload<T>
    Error(T payload) : value(std::move(payload)) {}

    // "ParseError", "SolutionRelativeUnitOutsideSolution", ...
    std::string_view kind_name() const noexcept;
    // The one user-facing message; no line break at its end.
    std::string message() const;
    // Appends the message to `out`.
    void write_message(std::string& out) const;

    template <class T> const T* get_if() const noexcept { return std::get_if<T>(&value); }
    template <class T> bool is() const noexcept { return std::holds_alternative<T>(value); }
};

std::ostream& operator<<(std::ostream& out, const Error& error);

// Number text: "NaN", "inf", "-inf"; otherwise an optional "-" (negative zero
// gives "-0") and the shortest round-trip digits in positional notation,
// without a fractional part when whole.
std::string number_text(double value);
void append_number_text(std::string& out, double value);

// The shortest decimal digits that read back to `value` (finite, non-zero
// magnitude): digits without trailing zeros and the decimal exponent of the
// first digit, so value = d.ddd * 10^exponent.
struct ShortestDigits {
    char digits[17];
    int count = 0;
    int exponent = 0;
};
ShortestDigits shortest_digits(double magnitude) noexcept;

// Room for any finite double in positional notation, sign included
// ("-0.", 323 zeros and 17 digits at the most).
inline constexpr std::size_t positional_text_capacity = 344;

// Writes the digits at `out` in positional notation, never with an exponent
// and without a fractional part when whole (no sign); returns the end.
char* write_positional(char* out, const ShortestDigits& digits) noexcept;

}  // namespace kelmora
