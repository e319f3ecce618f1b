// The formulation tree: plain values that own their whole subtree and are
// never changed once built.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelmora {

enum class ConcentrationUnit : std::uint8_t { Molar, Molal, WeightPercent, MolePercent, VolumePercent };
enum class CompoundKind : std::uint8_t { Salt, Solvent, Unknown };
enum class RatioBasis : std::uint8_t { Weight, Mole, Volume };

// "M", "m", "wt%", "mol%", "vol%": the JSON tree, the shorthand and the messages write these.
std::string_view unit_text(ConcentrationUnit unit) noexcept;
// "salt", "solvent", "unknown": the JSON tree's kind texts.
std::string_view kind_text(CompoundKind kind) noexcept;
// "Salt", "Solvent", "Unknown": only the listing of mixed ratio kinds uses these.
std::string_view kind_identifier(CompoundKind kind) noexcept;
// "wt", "mol", "vol".
std::string_view basis_text(RatioBasis basis) noexcept;

// Molar and molal only make sense as the solute amount of a solution.
constexpr bool is_solution_relative(ConcentrationUnit unit) noexcept {
    return unit == ConcentrationUnit::Molar || unit == ConcentrationUnit::Molal;
}

struct Amount {
    double value = 0.0;
    ConcentrationUnit unit = ConcentrationUnit::Molar;
};

struct Compound {
    std::string name;
    CompoundKind kind = CompoundKind::Unknown;
};

struct RatioTerm {
    Compound compound;
    double share = 0.0;
};

struct RatioMixture {
    std::vector<RatioTerm> terms;
    RatioBasis basis = RatioBasis::Weight;
};

struct Node;
struct BlendTerm;

struct Solution {
    std::unique_ptr<Node> solute;
    std::unique_ptr<Node> solvent;
    Amount solute_amount;
};

struct Blend {
    std::vector<BlendTerm> terms;
};

// The four alternatives, in this order: their index is the JSON tag's index.
struct Node {
    using Variant = std::variant<Compound, RatioMixture, Solution, Blend>;
    Variant value;

    // Defined below, once BlendTerm is complete (libc++ needs it).
    Node();
    Node(Compound c);
    Node(RatioMixture r);
    Node(Solution s);
    Node(Blend b);
    Node(Node&&) noexcept;
    Node& operator=(Node&&) noexcept;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node();

    template <class T> const T* get_if() const noexcept { return std::get_if<T>(&value); }
    template <class T> bool is() const noexcept { return std::holds_alternative<T>(value); }
};

struct BlendTerm {
    Node node;
    std::optional<Amount> amount;
};

inline Node::Node() = default;
inline Node::Node(Compound c) : value(std::move(c)) {}
inline Node::Node(RatioMixture r) : value(std::move(r)) {}
inline Node::Node(Solution s) : value(std::move(s)) {}
inline Node::Node(Blend b) : value(std::move(b)) {}
inline Node::Node(Node&&) noexcept = default;
inline Node& Node::operator=(Node&&) noexcept = default;

// The "compound", "ratio_mixture", "solution", "blend" tag of a node.
std::string_view node_tag(const Node& node) noexcept;

}  // namespace kelmora
