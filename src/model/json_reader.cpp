// The JSON tree reader. Phase 1 buffers the whole top-level value into
// Content (so every syntax error of the text is found first) and takes the
// node's tag out of it; phase 2 replays the rest into the tree.
#include "kelmora/json_reader.hpp"

#include <cstddef>
#include <memory_resource>
#include <optional>
#include <utility>

#include "block_arena.hpp"
#include "json_scanner.hpp"
#include "kelmora/content.hpp"

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

    // The top-level value as a node: the tag index and the entries for the
    // replay.
    Scan<std::pair<std::size_t, Content>> top_level() {
        auto start = sc_.begin_value();
        if (!start) return std::unexpected(std::move(start.error()));
        if (*start == '{') return top_level_object();
        if (*start == '[') return top_level_array();
        Content other;
        if (auto e = value_at(*start, other); !e) return std::unexpected(std::move(e.error()));
        return std::unexpected(
            sc_.error_at(invalid_type_message(other, "internally tagged enum Node", ValueStyle::Json), sc_.offset()));
    }

private:
    Scan<void> value(Content& out) {
        auto start = sc_.begin_value();
        if (!start) return std::unexpected(std::move(start.error()));
        return value_at(*start, out);
    }

    Scan<void> value_at(char start, Content& out) {
        switch (start) {
            case '"': return string(out);
            case 't': return literal("true", Content(true), out);
            case 'f': return literal("false", Content(false), out);
            case 'n': return literal("null", Content::null(), out);
            case '[': return array(out);
            case '{': return object(out);
            default: return number(out);
        }
    }

    Scan<void> literal(std::string_view word, Content result, Content& out) {
        if (auto r = sc_.parse_literal(word); !r) return r;
        out = std::move(result);
        return {};
    }

    [[gnu::always_inline]] Scan<void> string(Content& out) {
        auto s = sc_.parse_string();
        if (!s) return std::unexpected(std::move(s.error()));
        // Plain strings stay views into the text until a field takes them.
        out = s->borrowed ? Content::borrowed_string(s->text) : Content::owned_string(std::string(s->text));
        return {};
    }

    Scan<void> number(Content& out) {
        auto n = sc_.parse_number();
        if (!n) return std::unexpected(std::move(n.error()));
        switch (n->kind) {
            case json::ScannedNumber::Kind::Unsigned: out = Content(n->u); break;
            case json::ScannedNumber::Kind::Signed: out = Content(n->i); break;
            case json::ScannedNumber::Kind::Float: out = Content(n->f); break;
        }
        return {};
    }

    Scan<void> array(Content& out) {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return e;
        out = Content(Content::Array(arena_));
        if (auto e = elements_into(*out.get_if<Content::Array>(), true); !e) return e;
        sc_.leave();
        return {};
    }

    // Elements up to and including the closing ']'.
    Scan<void> elements_into(Content::Array& elements, bool first) {
        for (;; first = false) {
            auto more = sc_.next_element(first);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) return {};
            if (elements.empty()) elements.reserve(initial_room);
            if (auto e = value(elements.emplace_back()); !e) return e;
        }
    }

    Scan<void> object(Content& out) {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return e;
        out = Content(Content::Object(arena_));
        auto& pairs = *out.get_if<Content::Object>();
        for (bool first = true;; first = false) {
            auto more = sc_.next_key(first);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) break;
            if (pairs.empty()) pairs.reserve(initial_room);
            ContentPair& pair = pairs.emplace_back();
            if (auto e = string(pair.key); !e) return e;
            if (auto e = member_value(pair.value); !e) return e;
        }
        sc_.leave();
        return {};
    }

    Scan<void> member_value(Content& out) {
        if (auto c = sc_.parse_colon(); !c) return c;
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
        if (auto e = value_at(*start, other); !e) return std::unexpected(std::move(e.error()));
        return std::unexpected(sc_.error_at(invalid_type_message(other, expected, ValueStyle::Json), sc_.offset()));
    }

    Scan<std::pair<std::size_t, Content>> top_level_object() {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return std::unexpected(std::move(e.error()));
        std::optional<std::size_t> tag;
        Content::Object entries(arena_);
        for (bool first = true;; first = false) {
            auto more = sc_.next_key(first);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) break;
            Content key;
            if (auto e = string(key); !e) return std::unexpected(std::move(e.error()));
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
            if (auto e = member_value(pair.value); !e) return std::unexpected(std::move(e.error()));
        }
        sc_.leave();
        if (!tag) return std::unexpected(sc_.error_at(missing_field_message("node_type"), sc_.offset()));
        return std::pair<std::size_t, Content>{*tag, Content(std::move(entries))};
    }

    Scan<std::pair<std::size_t, Content>> top_level_array() {
        sc_.advance();
        if (auto e = sc_.enter(); !e) return std::unexpected(std::move(e.error()));
        auto more = sc_.next_element(true);
        if (!more) return std::unexpected(std::move(more.error()));
        if (!*more) return std::unexpected(sc_.error_at(missing_field_message("node_type"), sc_.offset()));
        auto tag = tag_value();
        if (!tag) return std::unexpected(std::move(tag.error()));
        Content::Array rest(arena_);
        if (auto e = elements_into(rest, false); !e) return std::unexpected(std::move(e.error()));
        sc_.leave();
        return std::pair<std::size_t, Content>{*tag, Content(std::move(rest))};
    }

    Scanner& sc_;
    std::pmr::memory_resource* arena_;
};

}  // namespace

std::expected<Node, ReadError> read_json_tree(std::string_view text) {
    Scanner scanner(text);
    // The buffered value lives in one arena, released at once when the tree
    // is built; it starts on the stack.
    std::byte first_block[4096];
    BlockArena arena(first_block, sizeof first_block);
    auto top = Buffering(scanner, arena).top_level();
    if (!top) return std::unexpected(std::move(top.error()));
    auto tree = replay_node_variant(top->first, std::move(top->second), ValueStyle::Json);
    if (!tree) return tree;
    if (auto end = scanner.finish(); !end) return std::unexpected(std::move(end.error()));
    return tree;
}

}  // namespace kelmora
