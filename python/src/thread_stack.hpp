// The stack of the calling thread, told to the library's recursive walks so
// that deep data raises instead of overflowing a small thread stack.
#pragma once

#include <cstdint>

#include "kelmora/stack_room.hpp"

namespace kelmora::python {

// The interpreter stops Python code 32 KiB above the end of a thread's
// stack (two margins of 2048 pointers) and ends the process when C code
// that it checks reaches into the lower margin.
inline constexpr std::uintptr_t interpreter_margin = 2048 * sizeof(void*);

// The library's walks call nothing in the interpreter: they stop 8 KiB
// above its lower margin, room for their deepest level and the throw.
inline constexpr std::uintptr_t walk_floor = interpreter_margin + 8 * 1024;

// The module's own walks call the interpreter at every level, which may run
// Python code: they stop 16 KiB above where the interpreter stops it.
inline constexpr std::uintptr_t interpreter_call_room = 2 * interpreter_margin + 16 * 1024 - walk_floor;

// Reads the calling thread's stack bounds, once per thread.
void learn_thread_stack() noexcept;

inline void watch_thread_stack() noexcept {
    if (stack_bounds().floor == 0) [[unlikely]] learn_thread_stack();
}

// One level of a walk of the module's own.
[[gnu::always_inline]] inline void ensure_interpreter_room() { ensure_stack_room(interpreter_call_room); }
[[gnu::always_inline]] inline void ensure_interpreter_room(const StackBounds& bounds) {
    ensure_stack_room(bounds, interpreter_call_room);
}

}  // namespace kelmora::python
