// The walks' stack check: with a floor set for the thread, every recursive
// walk over deep data throws StackExhausted before passing it, the library
// stays usable afterwards, and without a floor (the program) nothing changes.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "kelmora/battinfo.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/registry.hpp"
#include "kelmora/render.hpp"
#include "kelmora/stack_room.hpp"
#include "kelmora/validate.hpp"

namespace kelmora {
namespace {

// Room that a walk may use below the frame that sets the floor: a few
// levels of any walk, but far less than the deep data needs.
constexpr std::uintptr_t little_room = 16 * 1024;
// Room for shallow data in any build, unoptimised ones included.
constexpr std::uintptr_t ample_room = 512 * 1024;

Node solution_chain(int levels) {
    Node node(Compound{"EC", CompoundKind::Solvent});
    for (int i = 0; i < levels; ++i) {
        Solution solution;
        solution.solute = std::make_unique<Node>(Compound{"LiPF6", CompoundKind::Salt});
        solution.solvent = std::make_unique<Node>(std::move(node));
        solution.solute_amount = Amount{1.0, ConcentrationUnit::Molar};
        node = Node(std::move(solution));
    }
    return node;
}

Node blend_chain(int levels) {
    Node node(Compound{"EC", CompoundKind::Solvent});
    for (int i = 0; i < levels; ++i) {
        Blend blend;
        blend.terms.push_back(BlendTerm{std::move(node), std::nullopt});
        blend.terms.push_back(BlendTerm{Node(Compound{"VC", CompoundKind::Solvent}),
                                        Amount{2.0, ConcentrationUnit::WeightPercent}});
        node = Node(std::move(blend));
    }
    return node;
}

std::string bracket_chain(int depth) {
    std::string text = "EC";
    for (int i = 0; i < depth; ++i) text = "2wt% VC + 1M LiPF6 in (" + text + ")";
    return text;
}

// Sets a floor `room` bytes below the caller's frame for the call, then
// takes it away again.
class FloorBelowHere {
public:
    [[gnu::noinline]] explicit FloorBelowHere(std::uintptr_t room) {
        const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
        set_stack_bounds(StackBounds{here - 64 * 1024 * 1024, here - room});
    }
    ~FloorBelowHere() { set_stack_bounds(StackBounds{}); }
};

const Node& deep_solutions() {
    static const Node tree = solution_chain(2000);
    return tree;
}
const Node& deep_blends() {
    static const Node tree = blend_chain(700);
    return tree;
}

using Walk = std::function<void()>;

std::vector<std::pair<std::string, Walk>> deep_walks() {
    static const std::string deep_json = to_json_text(solution_chain(126));
    static const std::string deep_text = bracket_chain(64);
    std::vector<std::pair<std::string, Walk>> walks;
    for (const auto* tree : {&deep_solutions(), &deep_blends()}) {
        const std::string which = tree == &deep_solutions() ? "solutions " : "blends ";
        walks.emplace_back(which + "render_as_term", [tree] { (void)render_as_term(*tree); });
        walks.emplace_back(which + "validate_tree", [tree] { (void)validate_tree(*tree); });
        walks.emplace_back(which + "to_json_text", [tree] { (void)to_json_text(*tree); });
        walks.emplace_back(which + "to_json_value", [tree] { (void)to_json_value(*tree); });
        walks.emplace_back(which + "to_battinfo_jsonld", [tree] {
            const CompoundRegistry registry;
            (void)to_battinfo_jsonld(*tree, registry);
        });
    }
    walks.emplace_back("read_json_tree", [] { (void)read_json_tree(deep_json); });
    walks.emplace_back("read_json_tree, deep arrays", [] {
        (void)read_json_tree(R"({"node_type":"compound","name":"EC","kind":"solvent","x":)" + std::string(126, '[') +
                             std::string(126, ']') + "}");
    });
    walks.emplace_back("parse_and_validate", [] { (void)parse_and_validate(deep_text); });
    return walks;
}

TEST(StackRoom, EveryWalkStopsAtTheFloor) {
    for (const auto& [name, walk] : deep_walks()) {
        {
            FloorBelowHere floor(little_room);
            EXPECT_THROW(walk(), StackExhausted) << name;
        }
        // Without a floor the same walk runs to its end.
        EXPECT_NO_THROW(walk()) << name;
    }
}

TEST(StackRoom, ShallowDataPassesAboveTheFloor) {
    FloorBelowHere floor(ample_room);
    auto outcome = parse_and_validate("1M LiPF6 in EC:DMC 3:7wt + 2wt% VC");
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(render_as_term(outcome->tree), "1M LiPF6 in EC:DMC 3:7wt + 2wt% VC");
    auto tree = read_json_tree(to_json_text(outcome->tree));
    ASSERT_TRUE(tree.has_value());
    EXPECT_TRUE(validate_tree(*tree).has_value());
}

TEST(StackRoom, AFrameOffTheThreadsStackIsNotJudged) {
    // A frame below `low` runs on another stack (a coroutine's): no check.
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    set_stack_bounds(StackBounds{here + 1024, here + 4096});
    EXPECT_FALSE(stack_is_short());
    EXPECT_NO_THROW((void)render_as_term(deep_solutions()));
    set_stack_bounds(StackBounds{});
}

TEST(StackRoom, TheMessageIsTheNestingLimitsText) {
    EXPECT_STREQ(StackExhausted().what(), "recursion limit exceeded");
}

}  // namespace
}  // namespace kelmora
