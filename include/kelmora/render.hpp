// Canonical shorthand text of any tree.
#pragma once

#include <string>

#include "kelmora/model.hpp"

namespace kelmora {

std::string render(const Node& node);
std::string render_as_term(const Node& node);
std::string render_blend_term(const BlendTerm& term);
std::string render_ratio_mixture(const RatioMixture& mixture);
std::string fmt_amount(const Amount& amount);

// The shorthand number text: whole finite values as their exact digits
// (negative zero as "0"), others by the shared number text rule.
std::string shorthand_number_text(double value);

}  // namespace kelmora
