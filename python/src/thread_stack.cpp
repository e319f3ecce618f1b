#include "thread_stack.hpp"

#include <pthread.h>

#include <cstddef>
#include <cstdint>

namespace kelmora::python {

void learn_thread_stack() noexcept {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
    void* address = nullptr;
    std::size_t size = 0;
    std::size_t guard = 0;
    const bool known = pthread_attr_getstack(&attributes, &address, &size) == 0 &&
                       pthread_attr_getguardsize(&attributes, &guard) == 0;
    pthread_attr_destroy(&attributes);
    if (!known || size <= guard) return;
    // The guard pages, at the low end, are not usable.
    const auto low = reinterpret_cast<std::uintptr_t>(address) + guard;
    const std::uintptr_t high = reinterpret_cast<std::uintptr_t>(address) + size;
    const std::uintptr_t floor = low + walk_floor;
    set_stack_bounds(StackBounds{low, floor < high ? floor : high});
}

}  // namespace kelmora::python
