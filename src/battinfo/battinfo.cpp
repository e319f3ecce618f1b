// The BattINFO/EMMO JSON-LD document of a tree: roles become types and "has"
// keys, amounts and shares become measured properties in QUDT units.
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "kelmora/battinfo.hpp"
#include "kelmora/internal_error.hpp"
#include "kelmora/stack_room.hpp"

namespace kelmora {

namespace {

using Object = JsonValue::Object;
using Array = JsonValue::Array;
using Role = std::optional<BattinfoRole>;
using Quantity = std::optional<BattinfoQuantity>;

std::string_view role_name(BattinfoRole role) noexcept {
    switch (role) {
        case BattinfoRole::Solvent: return "Solvent";
        case BattinfoRole::Solute: return "Solute";
        case BattinfoRole::Additive: return "Additive";
    }
    return "Additive";
}

std::string_view role_key(BattinfoRole role) noexcept {
    switch (role) {
        case BattinfoRole::Solvent: return "hasSolvent";
        case BattinfoRole::Solute: return "hasSolute";
        case BattinfoRole::Additive: return "hasAdditive";
    }
    return "hasAdditive";
}

JsonValue context() {
    Object prefixes;
    prefixes.insert("chemical", "https://w3id.org/emmo/domain/chemical-substance#");
    prefixes.insert("emmo", "https://w3id.org/emmo#");
    prefixes.insert("unit", "https://qudt.org/vocab/unit/");
    return Array{JsonValue("https://w3id.org/emmo/domain/battery/context"), JsonValue(std::move(prefixes))};
}

struct MeasuredKind {
    std::string_view property;
    std::string_view unit;
};

MeasuredKind measured_kind(ConcentrationUnit unit) noexcept {
    switch (unit) {
        case ConcentrationUnit::Molar: return {"AmountConcentration", "unit:MOL-PER-L"};
        case ConcentrationUnit::Molal: return {"AmountConcentration", "unit:MOL-PER-KiloGM"};
        case ConcentrationUnit::WeightPercent: return {"MassFraction", "unit:PERCENT"};
        case ConcentrationUnit::MolePercent: return {"MoleFraction", "unit:PERCENT"};
        case ConcentrationUnit::VolumePercent: return {"VolumeFraction", "unit:PERCENT"};
    }
    return {"VolumeFraction", "unit:PERCENT"};
}

MeasuredKind measured_kind(RatioBasis basis) noexcept {
    switch (basis) {
        case RatioBasis::Weight: return {"MassFraction", "unit:PERCENT"};
        case RatioBasis::Mole: return {"MoleFraction", "unit:PERCENT"};
        case RatioBasis::Volume: return {"VolumeFraction", "unit:PERCENT"};
    }
    return {"VolumeFraction", "unit:PERCENT"};
}

JsonValue measured_property(const BattinfoQuantity& quantity) {
    struct Measure {
        MeasuredKind kind;
        double number;
    };
    const Measure measure =
        std::visit([](const auto& q) -> Measure {
            if constexpr (std::is_same_v<std::decay_t<decltype(q)>, BattinfoShare>) {
                return {measured_kind(q.basis), q.percent};
            } else {
                const Amount& amount = q.get();
                return {measured_kind(amount.unit), amount.value};
            }
        }, quantity);

    Object numerical_part;
    numerical_part.insert("@type", "emmo:RealData");
    // Always a float, so a whole amount stays 1.0; NaN and infinities become null.
    numerical_part.insert("hasNumberValue", JsonValue(measure.number));

    Object property;
    property.insert("@type", measure.kind.property);
    property.insert("hasMeasurementUnit", measure.kind.unit);
    property.insert("hasNumericalPart", std::move(numerical_part));
    return property;
}

Object leaf_object(const Compound& compound, Role role, const Quantity& quantity, const CompoundRegistry& registry) {
    Object out;
    std::vector<std::string> types;
    if (role) types.emplace_back(role_name(*role));
    const std::optional<CompoundInfo> info = registry.lookup_info(compound.name);
    if (info && info->pref_label) {
        types.push_back("chemical:" + *info->pref_label);
    } else {
        out.insert("rdfs:label", compound.name);
    }
    if (types.size() == 1) {
        out.insert("@type", std::move(types.front()));
    } else {
        Array type_array;
        type_array.reserve(types.size());
        for (std::string& type : types) type_array.emplace_back(std::move(type));
        out.insert("@type", std::move(type_array));
    }
    if (quantity) out.insert("hasMeasuredProperty", measured_property(*quantity));
    return out;
}

Array ratio_array(const RatioMixture& mixture, Role role, const CompoundRegistry& registry) {
    // Summed in term order from negative zero, so a mixture of negative zeros
    // keeps its sign; the percentages never depend on it, since any total that
    // is not above zero gives +0 for every term.
    double total = -0.0;
    for (const RatioTerm& term : mixture.terms) total += term.share;

    Array out;
    out.reserve(mixture.terms.size());
    for (const RatioTerm& term : mixture.terms) {
        const double percent = total > 0.0 ? (term.share / total) * 100.0 : 0.0;
        out.emplace_back(leaf_object(term.compound, role, BattinfoShare{mixture.basis, percent}, registry));
    }
    return out;
}

// The value of a node in a role. Only a ratio mixture gives an array; the
// document and a blend with a solution base need to extend the object.
using NodeValue = std::variant<Object, Array>;

NodeValue node_value(const Node& node, Role role, const Quantity& quantity, const CompoundRegistry& registry);

JsonValue to_json(NodeValue value) {
    return std::visit([](auto& v) { return JsonValue(std::move(v)); }, value);
}

Object solution_object(const Solution& solution, Role role, const CompoundRegistry& registry) {
    Object out;
    out.insert("@type", role ? role_name(*role) : std::string_view("OrganicElectrolyte"));
    out.insert("hasSolute", to_json(node_value(*solution.solute, BattinfoRole::Solute,
                                               BattinfoQuantity(std::cref(solution.solute_amount)), registry)));
    out.insert("hasSolvent", to_json(node_value(*solution.solvent, BattinfoRole::Solvent, std::nullopt, registry)));
    return out;
}

Object blend_object(const Blend& blend, Role role, const CompoundRegistry& registry) {
    const BlendTerm* base_term = nullptr;
    Array additive_values;
    for (const BlendTerm& term : blend.terms) {
        if (term.amount) {
            additive_values.push_back(
                to_json(node_value(term.node, BattinfoRole::Additive, BattinfoQuantity(std::cref(*term.amount)),
                                   registry)));
        } else if (base_term == nullptr) {
            // The checks allow one base term; any further one is not exported.
            base_term = &term;
        }
    }
    const bool has_additives = !additive_values.empty();
    auto additives = [&]() -> JsonValue {
        if (additive_values.size() == 1) return std::move(additive_values.front());
        return std::move(additive_values);
    };

    if (base_term == nullptr) {
        Object out;
        if (has_additives) out.insert("hasAdditive", additives());
        return out;
    }

    NodeValue base = node_value(base_term->node, role, std::nullopt, registry);
    if (base_term->node.is<Solution>()) {
        Object* solution = std::get_if<Object>(&base);
        if (solution == nullptr) {
            internal_error("internal error: entered unreachable code: Node::Solution always renders as a JSON object");
        }
        if (has_additives) solution->insert("hasAdditive", additives());
        return std::move(*solution);
    }

    Object out;
    if (!role) {
        out.insert("hasConstituent", to_json(std::move(base)));
    } else if (*role != BattinfoRole::Additive || !has_additives) {
        out.insert("@type", role_name(*role));
        out.insert(std::string(role_key(*role)), to_json(std::move(base)));
    } else {
        // An additive blend of a base and additives of its own: its base and
        // its additives share the one key, so it lists the base first and then
        // every additive in term order.
        out.insert("@type", role_name(*role));
        Array parts;
        parts.reserve(additive_values.size() + 1);
        parts.push_back(to_json(std::move(base)));
        for (JsonValue& additive : additive_values) parts.push_back(std::move(additive));
        out.insert("hasAdditive", std::move(parts));
        return out;
    }
    if (has_additives) out.insert("hasAdditive", additives());
    return out;
}

NodeValue node_value(const Node& node, Role role, const Quantity& quantity, const CompoundRegistry& registry) {
    // A quantity is written only on compound leaves; mixtures, solutions and
    // blends hand their own quantities to their parts.
    struct Visitor {
        Role role;
        const Quantity& quantity;
        const CompoundRegistry& registry;

        NodeValue operator()(const Compound& c) const { return leaf_object(c, role, quantity, registry); }
        NodeValue operator()(const RatioMixture& m) const { return ratio_array(m, role, registry); }
        NodeValue operator()(const Solution& s) const { return solution_object(s, role, registry); }
        NodeValue operator()(const Blend& b) const { return blend_object(b, role, registry); }
    };
    ensure_stack_room();
    return std::visit(Visitor{role, quantity, registry}, node.value);
}

}  // namespace

JsonValue to_battinfo_jsonld(const Node& node, const CompoundRegistry& registry) {
    NodeValue value = node_value(node, std::nullopt, std::nullopt, registry);
    Object document;
    if (Object* object = std::get_if<Object>(&value)) {
        document = std::move(*object);
    } else {
        document.insert("hasConstituent", std::move(std::get<Array>(value)));
    }
    document.insert("@context", context());
    return document;
}

JsonValue node_in_role(const Node& node, std::optional<BattinfoRole> role, std::optional<BattinfoQuantity> quantity,
                       const CompoundRegistry& registry) {
    return to_json(node_value(node, role, quantity, registry));
}

JsonValue compound_leaf_to_jsonld(const Compound& compound, std::optional<BattinfoRole> role,
                                  std::optional<BattinfoQuantity> quantity, const CompoundRegistry& registry) {
    return leaf_object(compound, role, quantity, registry);
}

JsonValue ratio_mixture_to_jsonld(const RatioMixture& mixture, std::optional<BattinfoRole> role,
                                  const CompoundRegistry& registry) {
    return ratio_array(mixture, role, registry);
}

JsonValue blend_to_jsonld(const Blend& blend, std::optional<BattinfoRole> role, const CompoundRegistry& registry) {
    return blend_object(blend, role, registry);
}

}  // namespace kelmora
