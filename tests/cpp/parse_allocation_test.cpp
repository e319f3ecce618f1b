// A typical formulation costs only the allocations of its tree, its
// warnings and its one array of parse pairs, not one per pair or per name.
#include <gtest/gtest.h>

#include <thread>

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

    // The solution's two children and the ratio's terms; the pair array is
    // the one the previous parse on this thread left.
    EXPECT_EQ(allocations_of("1M LiPF6 in EC:DMC 3:7wt"), 3u);
    // A blend adds its list of terms.
    EXPECT_EQ(allocations_of("(1M LiPF6 in EC:DMC 3:7wt) + 2wt% VC"), 3u + 1u);
    // With a blend and its mixing warning: the blend's terms, the warning
    // list, the warning and the rendered solution it quotes.
    EXPECT_LE(allocations_of("1M LiPF6 in EC:DMC 3:7wt + 2wt% VC"), 3u + 1u + 3u + 2u);
    // A fresh thread allocates its own pair array once.
    std::size_t on_a_new_thread = 0;
    std::thread([&] { on_a_new_thread = allocations_of("1M LiPF6 in EC:DMC 3:7wt"); }).join();
    EXPECT_EQ(on_a_new_thread, 4u);
}

}  // namespace
}  // namespace kelmora
