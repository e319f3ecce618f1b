// Canonical shorthand of any tree: one spelling per tree, appended into one
// buffer by a recursive walk.
#include <string>
#include <variant>

#include "kelmora/render.hpp"
#include "kelmora/stack_room.hpp"
#include "shorthand_number.hpp"

namespace kelmora {

namespace {

void append_term(std::string& out, const Node& node);

void append_bracketed(std::string& out, const Node& node, bool bracket) {
    if (bracket) out += '(';
    append_term(out, node);
    if (bracket) out += ')';
}

void append_amount(std::string& out, const Amount& amount) {
    append_shorthand_number(out, amount.value);
    out += unit_text(amount.unit);
}

void append_ratio_mixture(std::string& out, const RatioMixture& mixture) {
    for (std::size_t i = 0; i < mixture.terms.size(); ++i) {
        if (i != 0) out += ':';
        out += mixture.terms[i].compound.name;
    }
    out += ' ';
    for (std::size_t i = 0; i < mixture.terms.size(); ++i) {
        if (i != 0) out += ':';
        append_shorthand_number(out, mixture.terms[i].share);
    }
    out += basis_text(mixture.basis);
}

// A solution's operands need brackets when they are themselves made of parts
// joined by "in" or "+".
bool operand_needs_brackets(const Node& node) { return node.is<Solution>() || node.is<Blend>(); }

void append_blend_term(std::string& out, const BlendTerm& term) {
    // A solution after an amount must be bracketed: "2wt% 1M LiPF6 in EC"
    // would not read back as the same tree.
    const bool bracket = term.node.is<Blend>() || (term.amount && term.node.is<Solution>());
    if (term.amount) {
        append_amount(out, *term.amount);
        out += ' ';
    }
    append_bracketed(out, term.node, bracket);
}

struct TermWriter {
    std::string& out;

    void operator()(const Compound& compound) const { out += compound.name; }
    void operator()(const RatioMixture& mixture) const { append_ratio_mixture(out, mixture); }
    void operator()(const Solution& solution) const {
        append_amount(out, solution.solute_amount);
        out += ' ';
        append_bracketed(out, *solution.solute, operand_needs_brackets(*solution.solute));
        out += " in ";
        append_bracketed(out, *solution.solvent, operand_needs_brackets(*solution.solvent));
    }
    void operator()(const Blend& blend) const {
        for (std::size_t i = 0; i < blend.terms.size(); ++i) {
            if (i != 0) out += " + ";
            append_blend_term(out, blend.terms[i]);
        }
    }
};

void append_term(std::string& out, const Node& node) {
    ensure_stack_room();
    std::visit(TermWriter{out}, node.value);
}

// Each entry point collects one appender's text into a new string.
template <auto Append, class Part>
std::string text_of(const Part& part) {
    std::string out;
    Append(out, part);
    return out;
}

}  // namespace

std::string render(const Node& node) { return render_as_term(node); }
std::string render_as_term(const Node& node) { return text_of<append_term>(node); }
std::string render_blend_term(const BlendTerm& term) { return text_of<append_blend_term>(term); }
std::string render_ratio_mixture(const RatioMixture& mixture) { return text_of<append_ratio_mixture>(mixture); }
std::string fmt_amount(const Amount& amount) { return text_of<append_amount>(amount); }

}  // namespace kelmora
