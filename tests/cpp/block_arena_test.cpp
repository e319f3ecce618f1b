// The reader's arena (blocks kept by the thread between arenas) and the
// in-place replacement of a buffered value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/block_arena.hpp"
#include "kelmora/content.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"

namespace kelmora {
namespace {

struct Piece {
    unsigned char* at;
    std::size_t size;
    unsigned char fill;
};

// Allocations of mixed sizes and alignments, some larger than a block, each
// filled with its own byte: none may overlap another or be misaligned.
std::vector<Piece> fill_arena(BlockArena& arena, std::size_t count) {
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t size = i % 97 == 0 ? 40000 : 1 + (i * 37) % 300;
        const std::size_t alignment = std::size_t{1} << (i % 5);
        auto* at = static_cast<unsigned char*>(arena.allocate(size, alignment));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(at) % alignment, 0u);
        const auto fill = static_cast<unsigned char>(i);
        std::memset(at, fill, size);
        pieces.push_back({at, size, fill});
    }
    return pieces;
}

void expect_intact(const std::vector<Piece>& pieces) {
    for (const Piece& p : pieces) {
        ASSERT_TRUE(std::all_of(p.at, p.at + p.size, [&](unsigned char c) { return c == p.fill; }));
    }
}

TEST(BlockArena, AllocationsStayApartAcrossBlocksAndArenas) {
    // The second and third arenas run on the blocks the first one handed
    // back to the thread (more of them than it keeps).
    for (int round = 0; round < 3; ++round) {
        std::byte first[256];
        BlockArena arena(first, sizeof first);
        const auto pieces = fill_arena(arena, 4000);
        expect_intact(pieces);
    }
}

TEST(BlockArena, NestedArenasOnOneThreadShareNoBlock) {
    {
        std::byte warm[16];
        BlockArena arena(warm, sizeof warm);
        fill_arena(arena, 2000);
    }
    std::byte a_first[16];
    BlockArena outer(a_first, sizeof a_first);
    const auto outer_pieces = fill_arena(outer, 1000);
    {
        std::byte b_first[16];
        BlockArena inner(b_first, sizeof b_first);
        const auto inner_pieces = fill_arena(inner, 1000);
        expect_intact(inner_pieces);
    }
    expect_intact(outer_pieces);
}

TEST(SpareBlocks, KeepsAtMostItsLimit) {
    detail::SpareBlocks spare;
    std::set<void*> given;
    for (std::size_t i = 0; i < detail::SpareBlocks::most + 3; ++i) {
        void* block = ::operator new(64);
        given.insert(block);
        spare.give(block);
    }
    std::set<void*> taken;
    while (void* block = spare.take()) {
        EXPECT_TRUE(given.count(block));
        taken.insert(block);
    }
    EXPECT_EQ(taken.size(), detail::SpareBlocks::most);
    for (void* block : taken) ::operator delete(block);
}

// A long mixture reads the same on fresh threads and on one that has read
// other texts before (its kept blocks hold their old bytes).
TEST(BlockArena, ReadingsAreAlikeOnFreshAndUsedThreads) {
    std::string terms;
    for (int i = 0; i < 500; ++i) {
        if (i != 0) terms += ',';
        terms += R"({"compound":{"node_type":"compound","name":"E\u0043)" + std::to_string(i) +
                 R"(","kind":"solvent"},"share":1})";
    }
    const std::string text = R"({"node_type":"ratio_mixture","terms":[)" + terms + R"(],"basis":"wt"})";
    const auto expected = read_json_tree(text);
    ASSERT_TRUE(expected.has_value()) << expected.error().message;
    const std::string expected_json = to_json_text(*expected);
    const auto& mixture = std::get<RatioMixture>(expected->value);
    ASSERT_EQ(mixture.terms.size(), 500u);
    EXPECT_EQ(mixture.terms[499].compound.name, "EC499");

    std::vector<std::thread> threads;
    std::vector<int> same(4, 0);
    for (std::size_t t = 0; t < same.size(); ++t) {
        threads.emplace_back([&, t] {
            bool all = true;
            for (int k = 0; k < 5; ++k) {
                auto other = read_json_tree(R"({"node_type":"compound","name":"\u0041\u0042","kind":"salt"})");
                all = all && other.has_value() && std::get<Compound>(other->value).name == "AB";
                auto again = read_json_tree(text);
                all = all && again.has_value() && to_json_text(*again) == expected_json;
            }
            same[t] = all ? 1 : 0;
        });
    }
    for (auto& thread : threads) thread.join();
    for (int s : same) EXPECT_EQ(s, 1);
}

TEST(Content, EmplaceReplacesAnOwningValue) {
    Content c = Content::owned_string(std::string(100, 'x'));
    auto& array = c.emplace<Content::Array>();
    array.push_back(Content::owned_string(std::string(100, 'y')));
    ASSERT_TRUE(c.is<Content::Array>());
    c.emplace<std::uint64_t>(7u);
    ASSERT_NE(c.get_if<std::uint64_t>(), nullptr);
    EXPECT_EQ(*c.get_if<std::uint64_t>(), 7u);
    auto& text = c.emplace<Content::String>(Content::Text::borrowed("EC"));
    EXPECT_EQ(text.text.view(), "EC");
    EXPECT_EQ(describe_content(c, ValueStyle::Json), "string \"EC\"");
}

}  // namespace
}  // namespace kelmora
