// A typical formulation costs only the allocations of its tree, its
// warnings and its one array of parse pairs, not one per pair or per name.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "kelmora/parser.hpp"

namespace {
std::atomic<std::size_t> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace kelmora {
namespace {

std::size_t allocations_of(std::string_view text) {
    const std::size_t before = allocations.load();
    auto outcome = parse_and_validate(text);
    const std::size_t after = allocations.load();
    EXPECT_TRUE(outcome.has_value()) << text;
    return after - before;
}

TEST(ParseAllocations, ATypicalFormulationAllocatesItsTreeAndLittleElse) {
    // The registry's table is built on the first lookup.
    (void)parse_and_validate("EC");

    // The pair array, the solution's two children and the ratio's terms.
    EXPECT_EQ(allocations_of("1M LiPF6 in EC:DMC 3:7wt"), 4u);
    // A blend adds its list of terms.
    EXPECT_EQ(allocations_of("(1M LiPF6 in EC:DMC 3:7wt) + 2wt% VC"), 4u + 1u);
    // With a blend and its mixing warning: the blend's terms, the warning
    // list, the warning and the rendered solution it quotes.
    EXPECT_LE(allocations_of("1M LiPF6 in EC:DMC 3:7wt + 2wt% VC"), 4u + 1u + 3u + 2u);
}

}  // namespace
}  // namespace kelmora
