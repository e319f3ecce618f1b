#include "kelmora/stack_room.hpp"

namespace kelmora {

const char* StackExhausted::what() const noexcept { return "recursion limit exceeded"; }

namespace detail {

constinit thread_local StackBounds stack_bounds{};

void throw_stack_exhausted() { throw StackExhausted(); }

}  // namespace detail
}  // namespace kelmora
