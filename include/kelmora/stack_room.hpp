// Stack room of recursive walks. The walks over trees, buffered values and
// JSON values descend one level of recursion per level of nesting. A front
// end whose threads may have small stacks (the Python module) tells each
// thread where its stack ends; every walk then checks, once per level, that
// its frame stays above a floor, and throws StackExhausted when it does not,
// before the stack overflows. A thread that was told nothing never checks.
#pragma once

#include <cstdint>
#include <exception>

namespace kelmora {

class StackExhausted : public std::exception {
public:
    const char* what() const noexcept override;
};

// The stack a thread runs on, as the walks see it: `low` is its lowest
// usable address and `floor` the lowest address that a walk's frame may
// reach. Both zero: nothing is checked.
struct StackBounds {
    std::uintptr_t low = 0;
    std::uintptr_t floor = 0;
};

namespace detail {
extern constinit thread_local StackBounds stack_bounds;
[[noreturn]] void throw_stack_exhausted();
}  // namespace detail

// The calling thread's bounds.
inline StackBounds stack_bounds() noexcept { return detail::stack_bounds; }
inline void set_stack_bounds(StackBounds bounds) noexcept { detail::stack_bounds = bounds; }

// Where the caller's frame stands. On x86-64 the stack pointer is read
// directly, so that a function that checks needs no frame pointer.
[[gnu::always_inline]] inline std::uintptr_t stack_here() noexcept {
#if defined(__x86_64__)
    std::uintptr_t here;
    asm("movq %%rsp, %0" : "=r"(here));
    return here;
#else
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#endif
}

// True when the caller's frame stands below the floor, raised by `extra`
// bytes, on the thread's own stack. A frame outside that stack (a
// coroutine's own stack) is not judged.
[[gnu::always_inline]] inline bool stack_is_short(const StackBounds& bounds, std::uintptr_t extra = 0) noexcept {
    const std::uintptr_t here = stack_here();
    // Unset bounds never judge a frame short: no stack lies below `extra`.
    return here < bounds.floor + extra && here >= bounds.low;
}
[[gnu::always_inline]] inline bool stack_is_short(std::uintptr_t extra = 0) noexcept {
    return stack_is_short(detail::stack_bounds, extra);
}

// Called by a recursive walk once per level; `extra` is room that the
// level needs beyond what the library's own walks need below the floor. A
// walk kept in an object takes the thread's bounds once, when it starts, and
// passes them in: a thread-local read costs more than the check.
[[gnu::always_inline]] inline void ensure_stack_room(const StackBounds& bounds, std::uintptr_t extra = 0) {
    if (stack_is_short(bounds, extra)) [[unlikely]] detail::throw_stack_exhausted();
}
[[gnu::always_inline]] inline void ensure_stack_room(std::uintptr_t extra = 0) {
    ensure_stack_room(detail::stack_bounds, extra);
}

}  // namespace kelmora
