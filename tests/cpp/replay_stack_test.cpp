// The replay of the deepest trees that Python data can bring (512 levels of
// containers, the top-level dict included) on a thread with a 256 KiB stack,
// as Python code may start with threading.stack_size(256 * 1024).
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "kelmora/content.hpp"

// Unoptimised and AddressSanitizer builds have frames several times larger
// than those of the builds people use (the tree's own destruction among
// them); there the deep paths are still checked, on a roomy stack.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
#define KELMORA_LARGE_FRAMES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELMORA_LARGE_FRAMES 1
#endif
#endif

namespace kelmora {
namespace {

#ifdef KELMORA_LARGE_FRAMES
constexpr std::size_t small_stack = 16 * 1024 * 1024;
#else
constexpr std::size_t small_stack = 256 * 1024;
#endif

Content str(std::string_view s) { return Content::owned_string(std::string(s)); }
ContentPair kv(std::string_view key, Content value) { return ContentPair{str(key), std::move(value)}; }
template <class... P>
Content object(P&&... pairs) {
    Content::Object o;
    (o.push_back(std::forward<P>(pairs)), ...);
    return Content(std::move(o));
}
Content compound(std::string_view name, std::string_view kind) {
    return object(kv("node_type", str("compound")), kv("name", str(name)), kv("kind", str(kind)));
}
Content amount(Content unit) { return object(kv("value", Content(std::uint8_t{1})), kv("unit", std::move(unit))); }

// The pairs of a solution: the tag, the solute, the solvent, the amount.
Content::Object solution_pairs(Content solvent) {
    Content::Object o;
    o.push_back(kv("node_type", str("solution")));
    o.push_back(kv("solute", compound("LiPF6", "salt")));
    o.push_back(kv("solvent", std::move(solvent)));
    o.push_back(kv("solute_amount", amount(str("M"))));
    return o;
}

// The pairs of a blend of a VC term and a term holding `node`.
Content::Object blend_pairs(Content node, Content last_amount) {
    Content::Array terms;
    terms.push_back(object(kv("node", compound("VC", "solvent"))));
    terms.push_back(object(kv("node", std::move(node)), kv("amount", std::move(last_amount))));
    Content::Object o;
    o.push_back(kv("node_type", str("blend")));
    o.push_back(kv("terms", Content(std::move(terms))));
    return o;
}

// The top level as the Python reader hands it over: its tag taken out.
Content without_tag(Content::Object pairs) {
    pairs.erase(pairs.begin());
    return Content(std::move(pairs));
}

// `levels` solutions, each the solvent of the one above, around `bottom`.
Content solution_chain(std::size_t levels, Content bottom) {
    Content c = std::move(bottom);
    for (std::size_t i = 1; i < levels; ++i) c = Content(solution_pairs(std::move(c)));
    return without_tag(solution_pairs(std::move(c)));
}

// `levels` blends, each in the last term of the one above, the deepest
// term's amount `last_amount`.
Content blend_chain(std::size_t levels, Content last_amount) {
    Content c = Content(blend_pairs(compound("EC", "solvent"), std::move(last_amount)));
    for (std::size_t i = 1; i < levels; ++i) c = Content(blend_pairs(std::move(c), amount(str("wt%"))));
    return without_tag(std::move(*c.get_if<Content::Object>()));
}

// How many nodes of the chain lie above its compound, and the compound's name.
std::string chain_outcome(const Node& top) {
    std::size_t depth = 0;
    const Node* node = &top;
    for (;;) {
        if (const auto* s = node->get_if<Solution>()) {
            node = s->solvent.get();
        } else if (const auto* b = node->get_if<Blend>()) {
            if (b->terms.size() != 2) return "blend of " + std::to_string(b->terms.size()) + " terms";
            node = &b->terms[1].node;
        } else {
            break;
        }
        ++depth;
    }
    const auto* c = node->get_if<Compound>();
    return std::to_string(depth) + " above " + (c != nullptr ? c->name : "no compound");
}

// Runs `work` on a thread of its own whose stack has `size` bytes; an
// overflow ends the whole test program.
void run_on_stack(std::size_t size, const std::function<void()>& work) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, size), 0);
    pthread_t thread;
    const auto start = [](void* w) -> void* {
        (*static_cast<const std::function<void()>*>(w))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, start, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(ReplayStack, DeepestChainsOnASmallThreadStack) {
    // A solution chain: one dict a level. A blend chain: a dict, the terms
    // list and the term's dict a level; 170 blends and the compound's dict
    // make 511 levels.
    struct Case {
        const char* name;
        Content (*make)();
        std::size_t variant;
        std::string expected;
    };
    const Case cases[] = {
        {"solutions", [] { return solution_chain(511, compound("EC", "solvent")); }, 2, "511 above EC"},
        {"blends", [] { return blend_chain(170, amount(str("wt%"))); }, 3, "170 above EC"},
        // The first error, at the very bottom, comes back up through every level.
        {"solutions, the deepest kind wrong", [] { return solution_chain(511, compound("EC", "Solvent")); }, 2,
         "unknown variant `Solvent`, expected one of `salt`, `solvent`, `unknown`"},
        {"blends, the deepest amount too long",
         [] {
             Content::Array long_amount;
             long_amount.push_back(Content(std::uint8_t{1}));
             long_amount.push_back(str("wt%"));
             long_amount.push_back(Content(std::uint8_t{2}));
             return blend_chain(170, Content(std::move(long_amount)));
         },
         3, "invalid length 3, expected 2 elements in sequence"},
    };
    for (const Case& c : cases) {
        std::string outcome = "not run";
        // Built, replayed and dropped on the small stack, as the Python
        // module does on the caller's thread.
        run_on_stack(small_stack, [&] {
            auto tree = replay_node_variant(c.variant, c.make(), ValueStyle::Python);
            outcome = tree ? chain_outcome(*tree) : tree.error().message;
        });
        EXPECT_EQ(outcome, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace kelmora
