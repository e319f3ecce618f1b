// Export of a tree as a BattINFO/EMMO JSON-LD document.
#pragma once

#include "kelmora/json.hpp"
#include "kelmora/model.hpp"
#include "kelmora/registry.hpp"

namespace kelmora {

JsonValue to_battinfo_jsonld(const Node& node, const CompoundRegistry& registry);

}  // namespace kelmora
