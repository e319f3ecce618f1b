// The buffered value of the tree readers, and the replay that builds a tree
// from it. Both readers (JSON text, Python objects) first buffer their input
// into Content and then hand it to the replay, which words every error of
// shape; the reader chooses how values are described in those messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "kelmora/model.hpp"
#include "kelmora/read_error.hpp"

namespace kelmora {

struct ContentPair;

// One buffered value. A string or byte string either refers to the input it
// was read from (borrowed: the input must outlive the Content) or owns its
// bytes; an owned text is moved, not copied, into the tree that takes it.
// A tagged union rather than std::variant: readers move and drop a great
// many of these, and a switch on the kind keeps that cheap.
class Content {
public:
    // The kinds that own something come last (see destroy).
    enum class Kind : std::uint8_t {
        Null, None, Bool, U8, U16, U32, U64, I8, I16, I32, I64, F32, F64, Char, Some, String, Bytes, Newtype, Array,
        Object,
    };
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
    // Vectors over a memory resource, so that a reader can keep a whole
    // buffered value in one arena; default-constructed ones use the heap.
    using Array = std::pmr::vector<Content>;
    using Object = std::pmr::vector<ContentPair>;  // pairs in their order, repeats kept
    // Every kind converts to Content directly; `Content(Content::Value(x))`
    // is the same as `Content(x)`.
    using Value = Content;

    Content() noexcept : kind_(Kind::Null), null_() {}
    Content(Null) noexcept : kind_(Kind::Null), null_() {}
    Content(None) noexcept : kind_(Kind::None), none_() {}
    Content(Some v) noexcept : kind_(Kind::Some), some_(std::move(v)) {}
    Content(bool v) noexcept : kind_(Kind::Bool), bool_(v) {}
    Content(std::uint8_t v) noexcept : kind_(Kind::U8), u8_(v) {}
    Content(std::uint16_t v) noexcept : kind_(Kind::U16), u16_(v) {}
    Content(std::uint32_t v) noexcept : kind_(Kind::U32), u32_(v) {}
    Content(std::uint64_t v) noexcept : kind_(Kind::U64), u64_(v) {}
    Content(std::int8_t v) noexcept : kind_(Kind::I8), i8_(v) {}
    Content(std::int16_t v) noexcept : kind_(Kind::I16), i16_(v) {}
    Content(std::int32_t v) noexcept : kind_(Kind::I32), i32_(v) {}
    Content(std::int64_t v) noexcept : kind_(Kind::I64), i64_(v) {}
    Content(float v) noexcept : kind_(Kind::F32), f32_(v) {}
    Content(double v) noexcept : kind_(Kind::F64), f64_(v) {}
    Content(char32_t v) noexcept : kind_(Kind::Char), char_(v) {}
    Content(String v) noexcept : kind_(Kind::String), string_(std::move(v)) {}
    Content(Bytes v) noexcept : kind_(Kind::Bytes), bytes_(std::move(v)) {}
    Content(Newtype v) noexcept : kind_(Kind::Newtype), newtype_(std::move(v)) {}
    // Defined below, once ContentPair is complete (libc++ needs it).
    Content(Array v) noexcept;
    Content(Object v) noexcept;
    Content(Content&& other) noexcept;
    Content& operator=(Content&& other) noexcept;
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;
    ~Content();

    static Content null() { return Content(Null{}); }
    static Content borrowed_string(std::string_view text) { return Content(String{Text::borrowed(text)}); }
    static Content owned_string(std::string text) { return Content(String{Text::owned(std::move(text))}); }
    static Content borrowed_bytes(std::string_view bytes) { return Content(Bytes{Text::borrowed(bytes)}); }
    static Content owned_bytes(std::string bytes) { return Content(Bytes{Text::owned(std::move(bytes))}); }
    static Content some(Content inner) { return Content(Some{std::make_unique<Content>(std::move(inner))}); }

    Kind kind() const noexcept { return kind_; }
    // The held value when it is of kind T (one of the types above, or the
    // scalar types bool, std::uint8_t ... double, char32_t), else null.
    template <class T> const T* get_if() const noexcept {
        return kind_ == kind_of<T>() ? const_cast<Content*>(this)->member<T>() : nullptr;
    }
    template <class T> T* get_if() noexcept { return kind_ == kind_of<T>() ? member<T>() : nullptr; }
    template <class T> bool is() const noexcept { return kind_ == kind_of<T>(); }
    // Replaces the value with a T made in place from `args` (one of the
    // types above or a scalar type), without a temporary to move and drop.
    template <class T, class... Args>
    T& emplace(Args&&... args) noexcept(std::is_nothrow_constructible_v<T, Args...>) {
        destroy();
        kind_ = Kind::Null;  // should the construction throw
        T* member = this->member<T>();
        new (member) T(std::forward<Args>(args)...);
        kind_ = kind_of<T>();
        return *member;
    }

private:
    template <class T>
    static constexpr Kind kind_of() noexcept {
        if constexpr (std::is_same_v<T, Null>) return Kind::Null;
        else if constexpr (std::is_same_v<T, None>) return Kind::None;
        else if constexpr (std::is_same_v<T, Some>) return Kind::Some;
        else if constexpr (std::is_same_v<T, bool>) return Kind::Bool;
        else if constexpr (std::is_same_v<T, std::uint8_t>) return Kind::U8;
        else if constexpr (std::is_same_v<T, std::uint16_t>) return Kind::U16;
        else if constexpr (std::is_same_v<T, std::uint32_t>) return Kind::U32;
        else if constexpr (std::is_same_v<T, std::uint64_t>) return Kind::U64;
        else if constexpr (std::is_same_v<T, std::int8_t>) return Kind::I8;
        else if constexpr (std::is_same_v<T, std::int16_t>) return Kind::I16;
        else if constexpr (std::is_same_v<T, std::int32_t>) return Kind::I32;
        else if constexpr (std::is_same_v<T, std::int64_t>) return Kind::I64;
        else if constexpr (std::is_same_v<T, float>) return Kind::F32;
        else if constexpr (std::is_same_v<T, double>) return Kind::F64;
        else if constexpr (std::is_same_v<T, char32_t>) return Kind::Char;
        else if constexpr (std::is_same_v<T, String>) return Kind::String;
        else if constexpr (std::is_same_v<T, Bytes>) return Kind::Bytes;
        else if constexpr (std::is_same_v<T, Newtype>) return Kind::Newtype;
        else if constexpr (std::is_same_v<T, Array>) return Kind::Array;
        else {
            static_assert(std::is_same_v<T, Object>, "not a kind of Content");
            return Kind::Object;
        }
    }
    template <class T>
    T* member() noexcept {
        if constexpr (std::is_same_v<T, Null>) return &null_;
        else if constexpr (std::is_same_v<T, None>) return &none_;
        else if constexpr (std::is_same_v<T, Some>) return &some_;
        else if constexpr (std::is_same_v<T, bool>) return &bool_;
        else if constexpr (std::is_same_v<T, std::uint8_t>) return &u8_;
        else if constexpr (std::is_same_v<T, std::uint16_t>) return &u16_;
        else if constexpr (std::is_same_v<T, std::uint32_t>) return &u32_;
        else if constexpr (std::is_same_v<T, std::uint64_t>) return &u64_;
        else if constexpr (std::is_same_v<T, std::int8_t>) return &i8_;
        else if constexpr (std::is_same_v<T, std::int16_t>) return &i16_;
        else if constexpr (std::is_same_v<T, std::int32_t>) return &i32_;
        else if constexpr (std::is_same_v<T, std::int64_t>) return &i64_;
        else if constexpr (std::is_same_v<T, float>) return &f32_;
        else if constexpr (std::is_same_v<T, double>) return &f64_;
        else if constexpr (std::is_same_v<T, char32_t>) return &char_;
        else if constexpr (std::is_same_v<T, String>) return &string_;
        else if constexpr (std::is_same_v<T, Bytes>) return &bytes_;
        else if constexpr (std::is_same_v<T, Newtype>) return &newtype_;
        else if constexpr (std::is_same_v<T, Array>) return &array_;
        else return &object_;
    }
    void move_from(Content& other) noexcept;
    void destroy() noexcept;
    void destroy_owned() noexcept;  // in content.cpp

    Kind kind_;
    union {
        Null null_;
        None none_;
        Some some_;
        bool bool_;
        std::uint8_t u8_;
        std::uint16_t u16_;
        std::uint32_t u32_;
        std::uint64_t u64_;
        std::int8_t i8_;
        std::int16_t i16_;
        std::int32_t i32_;
        std::int64_t i64_;
        float f32_;
        double f64_;
        char32_t char_;
        String string_;
        Bytes bytes_;
        Newtype newtype_;
        Array array_;
        Object object_;
    };
};

struct ContentPair {
    Content key;
    Content value;
};

inline Content::Content(Array v) noexcept : kind_(Kind::Array), array_(std::move(v)) {}
inline Content::Content(Object v) noexcept : kind_(Kind::Object), object_(std::move(v)) {}
inline Content::Content(Content&& other) noexcept { move_from(other); }
inline Content& Content::operator=(Content&& other) noexcept {
    if (this != &other) {
        destroy();
        move_from(other);
    }
    return *this;
}
inline Content::~Content() { destroy(); }

inline void Content::move_from(Content& other) noexcept {
    kind_ = other.kind_;
    switch (kind_) {
        case Kind::Null: new (&null_) Null(); break;
        case Kind::None: new (&none_) None(); break;
        case Kind::Some: new (&some_) Some(std::move(other.some_)); break;
        case Kind::Bool: bool_ = other.bool_; break;
        case Kind::U8: u8_ = other.u8_; break;
        case Kind::U16: u16_ = other.u16_; break;
        case Kind::U32: u32_ = other.u32_; break;
        case Kind::U64: u64_ = other.u64_; break;
        case Kind::I8: i8_ = other.i8_; break;
        case Kind::I16: i16_ = other.i16_; break;
        case Kind::I32: i32_ = other.i32_; break;
        case Kind::I64: i64_ = other.i64_; break;
        case Kind::F32: f32_ = other.f32_; break;
        case Kind::F64: f64_ = other.f64_; break;
        case Kind::Char: char_ = other.char_; break;
        case Kind::String: new (&string_) String(std::move(other.string_)); break;
        case Kind::Bytes: new (&bytes_) Bytes(std::move(other.bytes_)); break;
        case Kind::Newtype: new (&newtype_) Newtype(std::move(other.newtype_)); break;
        case Kind::Array: new (&array_) Array(std::move(other.array_)); break;
        case Kind::Object: new (&object_) Object(std::move(other.object_)); break;
    }
}

inline void Content::destroy() noexcept {
    // Most values own nothing; the rest are taken apart out of line.
    if (kind_ >= Kind::Some) destroy_owned();
}

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
