// Short builders for the trees the suites write, check and render, and the
// special numbers they feed them.
#pragma once

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kelmora/model.hpp"

namespace kelmora::fixtures {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// One row of a number-text table.
struct NumberCase {
    double value;
    std::string text;
};

constexpr CompoundKind salt = CompoundKind::Salt;
constexpr CompoundKind solvent = CompoundKind::Solvent;
constexpr CompoundKind unknown = CompoundKind::Unknown;

inline Amount molar(double v) { return {v, ConcentrationUnit::Molar}; }
inline Amount molal(double v) { return {v, ConcentrationUnit::Molal}; }
inline Amount wt(double v) { return {v, ConcentrationUnit::WeightPercent}; }
inline Amount mol(double v) { return {v, ConcentrationUnit::MolePercent}; }
inline Amount vol(double v) { return {v, ConcentrationUnit::VolumePercent}; }

inline Node leaf(std::string name, CompoundKind kind = unknown) { return Node(Compound{std::move(name), kind}); }

inline Node ratio(std::vector<RatioTerm> terms, RatioBasis basis = RatioBasis::Weight) {
    return Node(RatioMixture{std::move(terms), basis});
}

inline Node solution(Amount amount, Node solute, Node solvent_node) {
    return Node(Solution{std::make_unique<Node>(std::move(solute)), std::make_unique<Node>(std::move(solvent_node)),
                         amount});
}

inline BlendTerm term(Node node, std::optional<Amount> amount = std::nullopt) {
    return BlendTerm{std::move(node), amount};
}

template <class... Terms>
Node blend(Terms&&... terms) {
    Blend b;
    (b.terms.push_back(std::forward<Terms>(terms)), ...);
    return Node(std::move(b));
}

}  // namespace kelmora::fixtures
