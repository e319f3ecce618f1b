// Export of a tree as a BattINFO/EMMO JSON-LD document.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include "kelmora/json.hpp"
#include "kelmora/model.hpp"
#include "kelmora/registry.hpp"

namespace kelmora {

// The role a node plays in its parent; each name is also its type string and
// the suffix of its "has" key. The top level has no role.
enum class BattinfoRole : std::uint8_t { Solvent, Solute, Additive };

// A ratio term's share as a percentage of the mixture's total.
struct BattinfoShare {
    RatioBasis basis = RatioBasis::Weight;
    double percent = 0.0;
};

// What is measured about a node: the amount of a solute or an additive term
// (a reference into the tree), or a ratio share.
using BattinfoQuantity = std::variant<std::reference_wrapper<const Amount>, BattinfoShare>;

// The whole document: always an object holding "@context".
JsonValue to_battinfo_jsonld(const Node& node, const CompoundRegistry& registry);

// One node in a role with a quantity: an object, or an array for a ratio
// mixture.
JsonValue node_in_role(const Node& node, std::optional<BattinfoRole> role, std::optional<BattinfoQuantity> quantity,
                       const CompoundRegistry& registry);

// One compound, typed by its role and its ontology label (or labelled by its
// name when the registry has none), with the quantity's measured property.
JsonValue compound_leaf_to_jsonld(const Compound& compound, std::optional<BattinfoRole> role,
                                  std::optional<BattinfoQuantity> quantity, const CompoundRegistry& registry);

// The array of the mixture's leaves, each with its share in percent. A
// quantity handed to a mixture is never written, so it takes none.
JsonValue ratio_mixture_to_jsonld(const RatioMixture& mixture, std::optional<BattinfoRole> role,
                                  const CompoundRegistry& registry);

// The blend's base in the blend's role, with its additive terms; always an
// object.
JsonValue blend_to_jsonld(const Blend& blend, std::optional<BattinfoRole> role, const CompoundRegistry& registry);

}  // namespace kelmora
