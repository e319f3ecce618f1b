// A bump allocator for values that are built, read once and dropped
// together, such as a reader's buffered value.
#pragma once

#include <cstddef>
#include <memory>
#include <memory_resource>
#include <new>
#include <vector>

namespace kelmora {

namespace detail {

// The blocks of a thread's finished arenas, kept for its next ones: freed to
// the heap, a few hundred kilobytes at its top go back to the system, and the
// next reading would start on fresh pages, faulting each one in. Only a few
// are kept, so a huge input pins no more than this after its reading.
class SpareBlocks {
public:
    static constexpr std::size_t most = 8;  // 256 KiB a thread

    SpareBlocks() = default;
    SpareBlocks(const SpareBlocks&) = delete;
    SpareBlocks& operator=(const SpareBlocks&) = delete;
    ~SpareBlocks() {
        for (std::size_t i = 0; i < count_; ++i) ::operator delete(blocks_[i]);
    }

    // A kept block, or null.
    void* take() noexcept { return count_ == 0 ? nullptr : blocks_[--count_]; }
    // Keeps the block, or frees it when enough are kept.
    void give(void* block) noexcept {
        if (count_ < most) {
            blocks_[count_++] = block;
        } else {
            ::operator delete(block);
        }
    }

    static SpareBlocks& of_this_thread() noexcept {
        thread_local SpareBlocks spare;
        return spare;
    }

private:
    void* blocks_[most] = {};
    std::size_t count_ = 0;
};

}  // namespace detail

// Memory carved from blocks of one modest size, which the thread keeps
// between arenas (see SpareBlocks); a request too large for a block gets one
// of its own. Everything is released together at the end; freeing a single
// allocation does nothing.
class BlockArena final : public std::pmr::memory_resource {
public:
    BlockArena(std::byte* first, std::size_t size) noexcept : current_(first), left_(size) {}
    BlockArena(const BlockArena&) = delete;
    BlockArena& operator=(const BlockArena&) = delete;
    ~BlockArena() override {
        detail::SpareBlocks& spare = detail::SpareBlocks::of_this_thread();
        for (void* block : blocks_) spare.give(block);
        for (void* block : own_blocks_) ::operator delete(block);
    }

private:
    static constexpr std::size_t block_size = 32 * 1024;

    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (void* p = carve(bytes, alignment)) return p;
        if (bytes + alignment > block_size / 2) {
            // A long array: a block of its own.
            own_blocks_.reserve(own_blocks_.size() + 1);
            void* raw = ::operator new(bytes + alignment);
            own_blocks_.push_back(raw);
            std::size_t room = bytes + alignment;
            return std::align(alignment, bytes, raw, room);
        }
        blocks_.reserve(blocks_.size() + 1);
        void* block = detail::SpareBlocks::of_this_thread().take();
        if (block == nullptr) block = ::operator new(block_size);
        blocks_.push_back(block);
        current_ = static_cast<std::byte*>(block);
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

    std::byte* current_;
    std::size_t left_;
    std::vector<void*> blocks_;      // of block_size bytes, handed back to the thread
    std::vector<void*> own_blocks_;  // of long arrays, freed
};

}  // namespace kelmora
