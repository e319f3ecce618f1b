// The buffered value of the tree readers, and the replay that builds a tree
// from it. Both readers (JSON text, Python objects) first buffer their input
// into Content and then hand it to the replay, which words every error of
// shape; the reader chooses how values are described in those messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kelmora/model.hpp"
#include "kelmora/read_error.hpp"

namespace kelmora {

struct ContentPair;

// One buffered value. A string or byte string either refers to the input it
// was read from (borrowed: the input must outlive the Content) or owns its
// bytes; an owned text is moved, not copied, into the tree that takes it.
class Content {
public:
    struct Null {};   // JSON null, Python None
    struct None {};   // an absent optional
    struct Some {     // a present optional
        std::unique_ptr<Content> value;
    };
    struct Newtype {
        std::unique_ptr<Content> value;
    };
    // Text of a string or a byte string, borrowed or owned.
    class Text {
    public:
        Text() = default;
        static Text borrowed(std::string_view text) { return Text(text); }
        static Text owned(std::string text) {
            Text t;
            t.owned_ = std::make_unique<std::string>(std::move(text));
            t.view_ = *t.owned_;
            return t;
        }
        std::string_view view() const noexcept { return view_; }
        bool is_borrowed() const noexcept { return !owned_; }
        // The text as a string of its own: moves an owned one out, copies a
        // borrowed one.
        std::string take() && { return owned_ ? std::move(*owned_) : std::string(view_); }

    private:
        explicit Text(std::string_view text) : view_(text) {}
        std::string_view view_;
        std::unique_ptr<std::string> owned_;  // on the heap, so view_ survives moves
    };
    struct String {
        Text text;
    };
    struct Bytes {
        Text bytes;
    };
    using Array = std::vector<Content>;
    using Object = std::vector<ContentPair>;  // pairs in their order, repeats kept

    using Value = std::variant<Null, None, Some, bool, std::uint8_t, std::uint16_t, std::uint32_t, std::uint64_t,
                               std::int8_t, std::int16_t, std::int32_t, std::int64_t, float, double, char32_t, String,
                               Bytes, Newtype, Array, Object>;

    Value value;

    // Defined below, once ContentPair is complete (libc++ needs it).
    Content();
    template <class T>
        requires std::is_constructible_v<Value, T&&>
    Content(T&& v) : value(std::forward<T>(v)) {}
    Content(Content&&) noexcept;
    Content& operator=(Content&&) noexcept;
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;
    ~Content();

    static Content null() { return Content(Null{}); }
    static Content borrowed_string(std::string_view text) { return Content(String{Text::borrowed(text)}); }
    static Content owned_string(std::string text) { return Content(String{Text::owned(std::move(text))}); }
    static Content borrowed_bytes(std::string_view bytes) { return Content(Bytes{Text::borrowed(bytes)}); }
    static Content owned_bytes(std::string bytes) { return Content(Bytes{Text::owned(std::move(bytes))}); }
    static Content some(Content inner) { return Content(Some{std::make_unique<Content>(std::move(inner))}); }

    template <class T> const T* get_if() const noexcept { return std::get_if<T>(&value); }
    template <class T> T* get_if() noexcept { return std::get_if<T>(&value); }
    template <class T> bool is() const noexcept { return std::holds_alternative<T>(value); }
};

struct ContentPair {
    Content key;
    Content value;
};

inline Content::Content() = default;
inline Content::Content(Content&&) noexcept = default;
inline Content& Content::operator=(Content&&) noexcept = default;
inline Content::~Content() = default;

// How values are described in messages: JSON text calls null "null" and
// writes floats as the JSON writer does; Python calls None "unit value" and
// writes floats as number text with ".0" when it has no point.
enum class ValueStyle : std::uint8_t { Json, Python };

// Lists sized from a count that the input announces reserve at most about
// one mebibyte up front, and grow beyond that as they fill.
template <class T>
constexpr std::size_t cautious_capacity(std::size_t announced) noexcept {
    constexpr std::size_t limit = std::size_t{1} << 20;
    constexpr std::size_t most = sizeof(T) == 0 ? 0 : limit / sizeof(T);
    return announced < most ? announced : most;
}

// The description of a value in "invalid type" and "invalid value"
// messages: "null", "integer `5`", "string \"EC\"", "map", ...
std::string describe_content(const Content& content, ValueStyle style);

// The node variant that a tag text names (0 compound, 1 ratio_mixture,
// 2 solution, 3 blend), or nullopt.
std::optional<std::size_t> node_variant_index(std::string_view tag) noexcept;
// "unknown variant `{}`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`"
std::string unknown_node_variant_message(std::string_view tag);
// "missing field `{}`" and "duplicate field `{}`".
std::string missing_field_message(std::string_view field);
std::string duplicate_field_message(std::string_view field);
// "invalid type: {}, expected {}".
std::string invalid_type_message(const Content& found, std::string_view expected, ValueStyle style);

// The replay. Errors carry no position (line 0).
//
// The struct of the node variant `variant` (node_variant_index), read from
// the top-level entries whose tag the reader took out itself: an object of
// the remaining pairs, or an array of the elements after the tag.
std::expected<Node, ReadError> replay_node_variant(std::size_t variant, Content&& entries, ValueStyle style);
// A whole node from any buffered value (tag included), as nested nodes are read.
std::expected<Node, ReadError> replay_node(Content&& content, ValueStyle style);

}  // namespace kelmora
