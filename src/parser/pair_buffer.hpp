// The pair array of a parse is reused by the next parse on the same thread:
// a long formulation's array is larger than what the allocator keeps around,
// so allocating it afresh for every parse costs new pages each time.
#pragma once

#include <vector>

#include "kelmora/parser.hpp"

namespace kelmora {

// An empty array, with the capacity a previous parse on this thread left.
std::vector<PairToken> take_pair_buffer() noexcept;
// Hands an array back once its pairs are no longer needed; arrays above a
// cap are freed, so one huge text does not pin its memory.
void return_pair_buffer(std::vector<PairToken>&& tokens) noexcept;

}  // namespace kelmora
