// Tree building: walks the pairs of an accepted text depth-first, left to
// right, and applies every check of the notation on the way.
#include "build.hpp"
#include "pair_buffer.hpp"

#include <fast_float/fast_float.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "kelmora/internal_error.hpp"
#include "kelmora/render.hpp"
#include "kelmora/stack_room.hpp"
#include "kelmora/validate.hpp"

namespace kelmora {

namespace {

// The nearest double, ties to even; beyond the range it is infinite, below
// it zero.
double read_number(Pair number) {
    const std::string_view text = number.text();
    double value = 0.0;
    const auto result =
        fast_float::from_chars(text.data(), text.data() + text.size(), value, fast_float::chars_format::fixed);
    if (result.ptr != text.data() + text.size() || text.empty())
        internal_error("grammar guarantees a valid number");
    if (result.ec == std::errc::result_out_of_range) {
        // Later fast_float releases report a value beyond the float range as
        // an error. Without an exponent only a non-zero whole part can be
        // too large; anything else is too small.
        const bool whole = text.substr(0, text.find('.')).find_first_not_of('0') != std::string_view::npos;
        return whole ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (result.ec != std::errc()) internal_error("grammar guarantees a valid number");
    return value;
}

ConcentrationUnit read_conc_unit(std::string_view text) {
    if (text == "M" || text == "molar") return ConcentrationUnit::Molar;
    if (text == "m" || text == "molal") return ConcentrationUnit::Molal;
    if (text == "w%" || text == "wt%" || text == "mass%" || text == "weight%") return ConcentrationUnit::WeightPercent;
    if (text == "mol%" || text == "mole%") return ConcentrationUnit::MolePercent;
    if (text == "vol%" || text == "volume%") return ConcentrationUnit::VolumePercent;
    internal_error("grammar guarantees a known conc_unit, got " + std::string(text));
}

RatioBasis read_ratio_basis(std::string_view text) {
    if (text == "w" || text == "wt" || text == "mass" || text == "weight") return RatioBasis::Weight;
    if (text == "mol" || text == "mole") return RatioBasis::Mole;
    if (text == "v" || text == "vol" || text == "volume") return RatioBasis::Volume;
    internal_error("grammar guarantees a known ratio_basis, got " + std::string(text));
}

Amount read_amount(Pair amount_pair) {
    auto inner = amount_pair.inner().begin();
    const auto end = amount_pair.inner().end();
    if (inner == end || (*inner).rule() != Rule::number)
        internal_error("grammar guarantees amount starts with a number");
    const double value = read_number(*inner);
    ++inner;
    if (inner == end || (*inner).rule() != Rule::conc_unit)
        internal_error("grammar guarantees amount ends with a conc_unit");
    return Amount{value, read_conc_unit((*inner).text())};
}

// The first inner pair of `rule`, if any.
std::optional<Pair> first_inner(Pair pair, Rule rule) {
    for (Pair inner : pair.inner())
        if (inner.rule() == rule) return inner;
    return std::nullopt;
}

Error relative_unit_outside_solution(const Amount& amount) {
    return errors::SolutionRelativeUnitOutsideSolution{amount};
}

constexpr std::string_view unrecognized_tail =
    "' is not recognized in the registry; its kind is being treated as unknown, so kind-based validation (e.g. "
    "ratio same-kind checks) is skipped for it";
constexpr std::string_view mixing_tail =
    "' mixes 'in' and '+' without brackets around the 'in' expression; by default 'in' binds tighter than '+' "
    "(as if parenthesized). Add explicit parentheses to make this unambiguous.";

std::string quoted_warning(std::string_view head, std::string_view quoted, std::string_view tail) {
    std::string text;
    text.reserve(head.size() + quoted.size() + tail.size());
    text += head;
    text += quoted;
    text += tail;
    return text;
}

std::string unrecognized_warning(std::string_view name) {
    return quoted_warning("compound '", name, unrecognized_tail);
}

std::string mixing_warning(const Node& solution) { return quoted_warning("'", render_as_term(solution), mixing_tail); }

}  // namespace

Compound build_compound(std::string_view name, const CompoundRegistry& registry, Warnings& warnings) {
    if (const CompoundInfo* info = registry.find(name)) return Compound{info->kelmora_pref_label, info->kind};
    warnings.push_back(unrecognized_warning(name));
    return Compound{std::string(name), CompoundKind::Unknown};
}

std::expected<Node, Error> build_ratio_mixture(Pair ratio_pair, const CompoundRegistry& registry,
                                               Warnings& warnings) {
    auto inner = ratio_pair.inner().begin();
    const auto end = ratio_pair.inner().end();
    if (inner == end || (*inner).rule() != Rule::name_list)
        internal_error("grammar guarantees ratio_mixture starts with name_list");
    const Pair names = *inner;
    ++inner;
    if (inner == end || (*inner).rule() != Rule::share_list)
        internal_error("grammar guarantees ratio_mixture has a share_list");
    const Pair shares = *inner;

    // The shares go straight into the terms; their compounds follow once the
    // counts are known to agree.
    RatioMixture mixture;
    std::size_t name_count = 0;
    for (Pair name : names.inner())
        if (name.rule() == Rule::compound_name) ++name_count;
    mixture.terms.reserve(name_count);
    std::optional<RatioBasis> basis;
    for (Pair share : shares.inner()) {
        if (share.rule() == Rule::number) mixture.terms.push_back(RatioTerm{Compound{}, read_number(share)});
        else if (share.rule() == Rule::ratio_basis) basis = read_ratio_basis(share.text());
        else
            internal_error("share_list can only contain number/ratio_basis, got " +
                           std::string(rule_name(share.rule())));
    }
    if (!basis) return std::unexpected(Error(errors::MissingUnits{}));
    if (name_count != mixture.terms.size())
        return std::unexpected(Error(errors::RatioShareCountMismatch{name_count, mixture.terms.size()}));
    mixture.basis = *basis;

    auto term = mixture.terms.begin();
    for (Pair name : names.inner()) {
        if (name.rule() != Rule::compound_name) continue;
        term->compound = build_compound(name.text(), registry, warnings);
        ++term;
    }
    if (auto checked = check_ratio_kinds(mixture.terms); !checked) return std::unexpected(std::move(checked.error()));
    return Node(std::move(mixture));
}

std::expected<Node, Error> build_atom(Pair atom_pair, const CompoundRegistry& registry, Warnings& warnings) {
    const PairList inner = atom_pair.inner();
    if (inner.size() != 1) internal_error("grammar guarantees atom has exactly one child");
    const Pair child = *inner.begin();
    switch (child.rule()) {
        case Rule::ratio_mixture: return build_ratio_mixture(child, registry, warnings);
        case Rule::compound: {
            const std::optional<Pair> name = first_inner(child, Rule::compound_name);
            if (!name) internal_error("grammar guarantees compound wraps a compound_name");
            return Node(build_compound(name->text(), registry, warnings));
        }
        case Rule::bracketed: {
            const std::optional<Pair> blend = first_inner(child, Rule::blend);
            if (!blend) internal_error("grammar guarantees bracketed wraps a blend");
            return build_top_level(*blend, registry, warnings);
        }
        default:
            internal_error("atom can only contain bracketed/ratio_mixture/compound, got " +
                           std::string(rule_name(child.rule())));
    }
}

std::expected<BlendTermParts, Error> build_blend_term_parts(Pair term_pair, const CompoundRegistry& registry,
                                                            Warnings& warnings) {
    std::optional<Amount> amount;
    std::optional<Pair> atoms[2];
    std::size_t atom_count = 0;
    bool first = true;
    for (Pair inner : term_pair.inner()) {
        if (first && inner.rule() == Rule::amount) amount = read_amount(inner);
        else if (inner.rule() == Rule::atom) {
            if (atom_count == 2) internal_error("grammar guarantees blend_term has exactly 1 or 2 atoms");
            atoms[atom_count++] = inner;
        }
        first = false;
    }
    if (atom_count == 0) internal_error("grammar guarantees blend_term has exactly 1 or 2 atoms");

    if (atom_count == 1) {
        auto node = build_atom(*atoms[0], registry, warnings);
        if (!node) return std::unexpected(std::move(node.error()));
        return BlendTermParts{std::move(*node), amount, false};
    }

    // "X in Y": the amount belongs to the solution.
    if (!amount) return std::unexpected(Error(errors::MissingSoluteAmount{}));
    auto solute = build_atom(*atoms[0], registry, warnings);
    if (!solute) return std::unexpected(std::move(solute.error()));
    auto solvent = build_atom(*atoms[1], registry, warnings);
    if (!solvent) return std::unexpected(std::move(solvent.error()));
    Solution solution{std::make_unique<Node>(std::move(*solute)), std::make_unique<Node>(std::move(*solvent)),
                      *amount};
    return BlendTermParts{Node(std::move(solution)), std::nullopt, true};
}

std::expected<Node, Error> build_top_level(Pair blend_pair, const CompoundRegistry& registry, Warnings& warnings) {
    ensure_stack_room();
    std::size_t term_count = 0;
    for (Pair inner : blend_pair.inner())
        if (inner.rule() == Rule::blend_term) ++term_count;

    if (term_count == 1) {
        const std::optional<Pair> term = first_inner(blend_pair, Rule::blend_term);
        auto parts = build_blend_term_parts(*term, registry, warnings);
        if (!parts) return std::unexpected(std::move(parts.error()));
        if (parts->amount && is_solution_relative(parts->amount->unit) && !parts->is_solution)
            return std::unexpected(relative_unit_outside_solution(*parts->amount));
        // A percentage on a lone term says nothing: the term is the whole.
        return std::move(parts->node);
    }

    Blend blend;
    blend.terms.reserve(term_count);
    std::uint64_t without_amount = 0;
    for (Pair inner : blend_pair.inner()) {
        if (inner.rule() != Rule::blend_term) continue;
        auto parts = build_blend_term_parts(inner, registry, warnings);
        if (!parts) return std::unexpected(std::move(parts.error()));
        if (parts->is_solution) {
            warnings.push_back(mixing_warning(parts->node));
        } else if (parts->amount && is_solution_relative(parts->amount->unit)) {
            return std::unexpected(relative_unit_outside_solution(*parts->amount));
        }
        if (!parts->amount) ++without_amount;
        blend.terms.push_back(BlendTerm{std::move(parts->node), parts->amount});
    }
    if (without_amount >= 2) return std::unexpected(Error(errors::MultipleBaseBlendTerms{without_amount}));
    return Node(std::move(blend));
}

std::expected<ParseOutcome, Error> parse_and_validate_with_registry(std::string_view text,
                                                                    const CompoundRegistry& registry) {
    auto parsed = KelmoraParser::parse(Rule::formulation, text);
    if (!parsed)
        return std::unexpected(Error(errors::ParseError{std::make_unique<PositionalError>(std::move(parsed.error()))}));

    const PairList top = parsed->pairs();
    if (top.empty() || (*top.begin()).rule() != Rule::formulation)
        internal_error("grammar guarantees a formulation pair");
    const std::optional<Pair> blend = first_inner(*top.begin(), Rule::blend);
    if (!blend) internal_error("grammar guarantees formulation contains a blend");

    ParseOutcome outcome;
    auto tree = build_top_level(*blend, registry, outcome.warnings);
    return_pair_buffer(std::move(parsed->tokens));
    if (!tree) return std::unexpected(std::move(tree.error()));
    outcome.tree = std::move(*tree);
    return outcome;
}

std::expected<ParseOutcome, Error> parse_and_validate(std::string_view text) {
    const CompoundRegistry registry;
    return parse_and_validate_with_registry(text, registry);
}

}  // namespace kelmora
