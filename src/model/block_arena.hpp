// A bump allocator for values that are built, read once and dropped
// together, such as a reader's buffered value.
#pragma once

#include <cstddef>
#include <memory>
#include <memory_resource>
#include <new>
#include <vector>

namespace kelmora {

// Memory carved from blocks of one modest size, which the heap serves from
// memory it keeps between calls (a growing series of ever larger blocks
// would be mapped afresh each time); a request too large for a block gets
// one of its own. Everything is released together at the end; freeing a
// single allocation does nothing.
class BlockArena final : public std::pmr::memory_resource {
public:
    BlockArena(std::byte* first, std::size_t size) noexcept : current_(first), left_(size) {}
    BlockArena(const BlockArena&) = delete;
    BlockArena& operator=(const BlockArena&) = delete;
    ~BlockArena() override {
        for (void* block : blocks_) ::operator delete(block);
    }

private:
    static constexpr std::size_t block_size = 32 * 1024;

    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (void* p = carve(bytes, alignment)) return p;
        if (bytes + alignment > block_size / 2) {
            // A long array: a block of its own.
            void* raw = new_block(bytes + alignment);
            std::size_t room = bytes + alignment;
            return std::align(alignment, bytes, raw, room);
        }
        current_ = static_cast<std::byte*>(new_block(block_size));
        left_ = block_size;
        return carve(bytes, alignment);
    }
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    void* carve(std::size_t bytes, std::size_t alignment) noexcept {
        void* p = current_;
        if (!std::align(alignment, bytes, p, left_)) return nullptr;
        current_ = static_cast<std::byte*>(p) + bytes;
        left_ -= bytes;
        return p;
    }
    void* new_block(std::size_t bytes) {
        blocks_.reserve(blocks_.size() + 1);
        void* block = ::operator new(bytes);
        blocks_.push_back(block);
        return block;
    }

    std::byte* current_;
    std::size_t left_;
    std::vector<void*> blocks_;
};

}  // namespace kelmora
