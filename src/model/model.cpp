#include "kelmora/model.hpp"

namespace kelmora {

Node::~Node() = default;

std::string_view unit_text(ConcentrationUnit unit) noexcept {
    switch (unit) {
        case ConcentrationUnit::Molar: return "M";
        case ConcentrationUnit::Molal: return "m";
        case ConcentrationUnit::WeightPercent: return "wt%";
        case ConcentrationUnit::MolePercent: return "mol%";
        case ConcentrationUnit::VolumePercent: return "vol%";
    }
    return "";
}

std::string_view kind_text(CompoundKind kind) noexcept {
    switch (kind) {
        case CompoundKind::Salt: return "salt";
        case CompoundKind::Solvent: return "solvent";
        case CompoundKind::Unknown: return "unknown";
    }
    return "";
}

std::string_view kind_identifier(CompoundKind kind) noexcept {
    switch (kind) {
        case CompoundKind::Salt: return "Salt";
        case CompoundKind::Solvent: return "Solvent";
        case CompoundKind::Unknown: return "Unknown";
    }
    return "";
}

std::string_view basis_text(RatioBasis basis) noexcept {
    switch (basis) {
        case RatioBasis::Weight: return "wt";
        case RatioBasis::Mole: return "mol";
        case RatioBasis::Volume: return "vol";
    }
    return "";
}

std::string_view node_tag(const Node& node) noexcept {
    static constexpr std::string_view tags[] = {"compound", "ratio_mixture", "solution", "blend"};
    return tags[node.value.index()];
}

}  // namespace kelmora
