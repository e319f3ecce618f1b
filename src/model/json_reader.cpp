// The JSON tree reader. Phase 1 buffers the whole top-level value into
// Content (so every syntax error of the text is found first) and takes the
// node's tag out of it; phase 2 replays the rest into the tree.
#include "kelmora/json_reader.hpp"

#include <cstddef>
#include <cstring>
#include <memory_resource>
#include <new>
#include <optional>
#include <utility>

#include "block_arena.hpp"
#include "json_scanner.hpp"
#include "kelmora/content.hpp"
#include "kelmora/stack_room.hpp"

namespace kelmora {

namespace {

using json::Scan;
using json::Scanner;

// Containers are built in place and start with room for this many entries:
// the objects and arrays of a tree hold a few each.
constexpr std::size_t initial_room = 4;

class Buffering {
public:
    Buffering(Scanner& scanner, std::pmr::memory_resource& arena) : sc_(scanner), arena_(&arena) {}

    // The top-level value as a node: the tag index, with the entries for the
    // replay in `entries`.
    Scan<std::size_t> top_level(Content& entries) {
        auto start = sc_.begin_value();
        if (!start) return std::unexpected(std::move(start.error()));
        if (*start == '{') return top_level_object(entries);
        if (*start == '[') return top_level_array(entries);
        Content other;
        if (!value_at(*start, other)) return kept_error();
        return std::unexpected(
            sc_.error_at(invalid_type_message(other, "internally tagged enum Node", ValueStyle::Json), sc_.offset()));
    }

private:
    // The recursive readings answer whether they went well and keep the
    // first error here: a plain flag costs less to hand up through every
    // level than an expected value would.
    [[gnu::cold, gnu::noinline]] bool fail(ReadError&& error) {
        error_ = std::move(error);
        return false;
    }
    // The kept error, for the readings that answer with Scan.
    std::unexpected<ReadError> kept_error() { return std::unexpected(std::move(error_)); }

    bool value(Content& out) {
        auto start = sc_.begin_value();
        if (!start) return fail(std::move(start.error()));
        return value_at(*start, out);
    }

    bool value_at(char start, Content& out) {
        switch (start) {
            case '"': return string(out);
            case 't': return literal("true", true, out);
            case 'f': return literal("false", false, out);
            case 'n': return literal("null", std::nullopt, out);
            case '[': return array(out);
            case '{': return object(out);
            default: return number(out);
        }
    }

    // A boolean, or null when `value` is empty.
    bool literal(std::string_view word, std::optional<bool> value, Content& out) {
        if (auto r = sc_.parse_literal(word); !r) return fail(std::move(r.error()));
        if (value) {
            out.emplace<bool>(*value);
        } else {
            out.emplace<Content::Null>();
        }
        return true;
    }

    [[gnu::always_inline]] bool string(Content& out) {
        auto s = sc_.parse_string();
        if (!s) return fail(std::move(s.error()));
        // Plain strings stay views into the text until a field takes them;
        // decoded ones are kept in the arena, so the buffered value owns
        // nothing beyond it and need not be taken apart.
        out.emplace<Content::String>(Content::Text::borrowed(s->borrowed ? s->text : keep(s->text)));
        return true;
    }

    [[gnu::noinline]] std::string_view keep(std::string_view text) {
        if (text.empty()) return {};
        auto* copy = static_cast<char*>(arena_->allocate(text.size(), 1));
        std::memcpy(copy, text.data(), text.size());
        return {copy, text.size()};
    }

    bool number(Content& out) {
        auto n = sc_.parse_number();
        if (!n) return fail(std::move(n.error()));
        switch (n->kind) {
            case json::ScannedNumber::Kind::Unsigned: out.emplace<std::uint64_t>(n->u); break;
            case json::ScannedNumber::Kind::Signed: out.emplace<std::int64_t>(n->i); break;
            case json::ScannedNumber::Kind::Float: out.emplace<double>(n->f); break;
        }
        return true;
    }

    bool array(Content& out) {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return fail(std::move(e.error()));
        ensure_stack_room(stack_);
        if (!elements_into(out.emplace<Content::Array>(arena_), true)) return false;
        sc_.leave();
        return true;
    }

    // Elements up to and including the closing ']'.
    bool elements_into(Content::Array& elements, bool first) {
        for (;; first = false) {
            auto more = sc_.next_element(first);
            if (!more) return fail(std::move(more.error()));
            if (!*more) return true;
            if (elements.empty()) elements.reserve(initial_room);
            if (!value(elements.emplace_back())) return false;
        }
    }

    bool object(Content& out) {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return fail(std::move(e.error()));
        ensure_stack_room(stack_);
        auto& pairs = out.emplace<Content::Object>(arena_);
        for (bool first = true;; first = false) {
            auto more = sc_.next_key(first);
            if (!more) return fail(std::move(more.error()));
            if (!*more) break;
            if (pairs.empty()) pairs.reserve(initial_room);
            ContentPair& pair = pairs.emplace_back();
            if (!string(pair.key) || !member_value(pair.value)) return false;
        }
        sc_.leave();
        return true;
    }

    bool member_value(Content& out) {
        if (auto c = sc_.parse_colon(); !c) return fail(std::move(c.error()));
        return value(out);
    }

    // The value of the top-level tag: a string naming a variant.
    Scan<std::size_t> tag_value() {
        auto start = sc_.begin_value();
        if (!start) return std::unexpected(std::move(start.error()));
        constexpr std::string_view expected = "variant identifier";
        if (*start == '[' || *start == '{') {
            // Refused at its bracket, before anything inside is read.
            const Content shape = *start == '[' ? Content(Content::Array{}) : Content(Content::Object{});
            return std::unexpected(
                sc_.error_at(invalid_type_message(shape, expected, ValueStyle::Json), sc_.offset()));
        }
        if (*start == '"') {
            auto s = sc_.parse_string();
            if (!s) return std::unexpected(std::move(s.error()));
            if (auto index = node_variant_index(s->text)) return *index;
            return std::unexpected(sc_.error_at(unknown_node_variant_message(s->text), sc_.offset()));
        }
        Content other;
        if (!value_at(*start, other)) return kept_error();
        return std::unexpected(sc_.error_at(invalid_type_message(other, expected, ValueStyle::Json), sc_.offset()));
    }

    Scan<std::size_t> top_level_object(Content& out) {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return std::unexpected(std::move(e.error()));
        std::optional<std::size_t> tag;
        auto& entries = out.emplace<Content::Object>(arena_);
        for (bool first = true;; first = false) {
            auto more = sc_.next_key(first);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) break;
            Content key;
            if (!string(key)) return kept_error();
            if (key.get_if<Content::String>()->text.view() == "node_type") {
                if (tag) {
                    sc_.skip_whitespace();
                    return std::unexpected(sc_.error_at(duplicate_field_message("node_type"), sc_.offset()));
                }
                if (auto c = sc_.parse_colon(); !c) return std::unexpected(std::move(c.error()));
                auto index = tag_value();
                if (!index) return std::unexpected(std::move(index.error()));
                tag = *index;
                continue;
            }
            if (entries.empty()) entries.reserve(initial_room);
            ContentPair& pair = entries.emplace_back();
            pair.key = std::move(key);
            if (!member_value(pair.value)) return kept_error();
        }
        sc_.leave();
        if (!tag) return std::unexpected(sc_.error_at(missing_field_message("node_type"), sc_.offset()));
        return *tag;
    }

    Scan<std::size_t> top_level_array(Content& out) {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return std::unexpected(std::move(e.error()));
        auto more = sc_.next_element(true);
        if (!more) return std::unexpected(std::move(more.error()));
        if (!*more) return std::unexpected(sc_.error_at(missing_field_message("node_type"), sc_.offset()));
        auto tag = tag_value();
        if (!tag) return std::unexpected(std::move(tag.error()));
        if (!elements_into(out.emplace<Content::Array>(arena_), false)) return kept_error();
        sc_.leave();
        return *tag;
    }

    Scanner& sc_;
    std::pmr::memory_resource* arena_;
    const StackBounds stack_ = stack_bounds();
    ReadError error_;
};

}  // namespace

std::expected<Node, ReadError> read_json_tree(std::string_view text) {
    Scanner scanner(text);
    // The buffered value lives in one arena, released at once when the tree
    // is built; it starts on the stack and goes on in blocks that the thread
    // keeps between readings.
    std::byte first_block[4096];
    BlockArena arena(first_block, sizeof first_block);
    // Made in the arena and never destroyed: it holds views and arena memory
    // only, all of which goes with the arena.
    Content& entries = *new (arena.allocate(sizeof(Content), alignof(Content))) Content();
    auto tag = Buffering(scanner, arena).top_level(entries);
    if (!tag) return std::unexpected(std::move(tag.error()));
    // One object returned throughout, so the tree is built in place.
    std::expected<Node, ReadError> tree = replay_node_variant(*tag, std::move(entries), ValueStyle::Json);
    if (tree) {
        if (auto end = scanner.finish(); !end) tree = std::unexpected(std::move(end.error()));
    }
    return tree;
}

}  // namespace kelmora
