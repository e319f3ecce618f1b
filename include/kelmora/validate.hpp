// Domain checks of a tree that did not come from the shorthand parser.
#pragma once

#include <expected>
#include <span>

#include "kelmora/errors.hpp"
#include "kelmora/model.hpp"

namespace kelmora {

// Pre-order walk: IncompatibleRatioKinds, SolutionRelativeUnitOutsideSolution
// or MultipleBaseBlendTerms, the first one found.
std::expected<void, Error> validate_tree(const Node& node);

// All known (non-Unknown) kinds of one ratio mixture must be equal.
std::expected<void, Error> check_ratio_kinds(std::span<const RatioTerm> terms);

}  // namespace kelmora
