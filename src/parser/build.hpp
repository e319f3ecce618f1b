// Tree building: the parse pairs of accepted shorthand to a checked tree,
// with its warnings. Each builder looks names up in the registry and appends
// the warnings it meets, depth-first, left to right.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kelmora/errors.hpp"
#include "kelmora/model.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/registry.hpp"

namespace kelmora {

using Warnings = std::vector<std::string>;

// One blend term: its node, its amount unless it was an 'in' expression,
// and whether it was one (its amount then became the solute amount).
struct BlendTermParts {
    Node node;
    std::optional<Amount> amount;
    bool is_solution = false;
};

// A `blend` pair: the lone term's node, or a Blend of two or more terms.
std::expected<Node, Error> build_top_level(Pair blend_pair, const CompoundRegistry& registry, Warnings& warnings);

std::expected<BlendTermParts, Error> build_blend_term_parts(Pair term_pair, const CompoundRegistry& registry,
                                                            Warnings& warnings);

std::expected<Node, Error> build_atom(Pair atom_pair, const CompoundRegistry& registry, Warnings& warnings);

std::expected<Node, Error> build_ratio_mixture(Pair ratio_pair, const CompoundRegistry& registry,
                                               Warnings& warnings);

// Never fails: an unknown name stays as typed, of unknown kind, with a warning.
Compound build_compound(std::string_view name, const CompoundRegistry& registry, Warnings& warnings);

}  // namespace kelmora
