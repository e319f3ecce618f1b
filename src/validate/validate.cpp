// Domain checks of a tree read from JSON text or Python objects: the first
// broken rule in pre-order is the one reported.
#include "kelmora/validate.hpp"

#include "kelmora/stack_room.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace kelmora {

namespace {

std::expected<void, Error> check_node(const Node& node, const StackBounds& stack);
std::expected<void, Error> check_blend(const Blend& blend, const StackBounds& stack);

struct NodeChecker {
    const StackBounds& stack;

    std::expected<void, Error> operator()(const Compound&) const { return {}; }
    std::expected<void, Error> operator()(const RatioMixture& mixture) const {
        return check_ratio_kinds(mixture.terms);
    }
    std::expected<void, Error> operator()(const Solution& solution) const {
        if (auto solute = check_node(*solution.solute, stack); !solute) return solute;
        return check_node(*solution.solvent, stack);
    }
    std::expected<void, Error> operator()(const Blend& blend) const { return check_blend(blend, stack); }
};

std::expected<void, Error> check_node(const Node& node, const StackBounds& stack) {
    ensure_stack_room(stack);
    return std::visit(NodeChecker{stack}, node.value);
}

std::expected<void, Error> check_blend(const Blend& blend, const StackBounds& stack) {
    // The blend's own count comes before anything inside it.
    std::uint64_t without_amount = 0;
    for (const BlendTerm& term : blend.terms) {
        if (!term.amount) ++without_amount;
    }
    if (without_amount > 1) return std::unexpected(Error(errors::MultipleBaseBlendTerms{without_amount}));
    for (const BlendTerm& term : blend.terms) {
        if (term.amount && is_solution_relative(term.amount->unit)) {
            return std::unexpected(Error(errors::SolutionRelativeUnitOutsideSolution{*term.amount}));
        }
        if (auto inner = check_node(term.node, stack); !inner) return inner;
    }
    return {};
}

}  // namespace

std::expected<void, Error> validate_tree(const Node& node) { return check_node(node, stack_bounds()); }

std::expected<void, Error> check_ratio_kinds(std::span<const RatioTerm> terms) {
    // Unknown kinds conflict with nothing.
    std::optional<CompoundKind> first_known;
    bool mixed = false;
    for (const RatioTerm& term : terms) {
        const CompoundKind kind = term.compound.kind;
        if (kind == CompoundKind::Unknown) continue;
        if (!first_known) {
            first_known = kind;
        } else if (kind != *first_known) {
            mixed = true;
            break;
        }
    }
    if (!mixed) return {};
    std::string listing;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (i != 0) listing += ", ";
        listing += terms[i].compound.name;
        listing += ": ";
        listing += kind_identifier(terms[i].compound.kind);
    }
    return std::unexpected(Error(errors::IncompatibleRatioKinds{std::move(listing)}));
}

}  // namespace kelmora
