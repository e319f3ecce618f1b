// The JSON tree writer: one walk over the tree, three targets (compact text,
// pretty text, JSON value). The walk decides members and values, and knows
// which member or element comes first; the target decides layout, and the
// value builder's objects put members in key order.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kelmora/errors.hpp"
#include "kelmora/json.hpp"
#include "kelmora/stack_room.hpp"

namespace kelmora {

namespace {

// For each byte, the character after the backslash of its escape ('u' for
// the "\u00XX" form), or 0 when the byte is written as it is.
constexpr std::array<char, 256> escapes = [] {
    std::array<char, 256> table{};
    for (std::size_t byte = 0; byte < 0x20; ++byte) table[byte] = 'u';
    table['"'] = '"';
    table['\\'] = '\\';
    table['\b'] = 'b';
    table['\t'] = 't';
    table['\n'] = 'n';
    table['\f'] = 'f';
    table['\r'] = 'r';
    return table;
}();

// The longest number text: a sign, 17 digits, a point and "e-324"; or a
// sign, "0.0000" and 17 digits.
constexpr std::size_t number_text_capacity = 24;

char* write_json_number(char* out, double value) noexcept {
    if (!std::isfinite(value)) return std::copy_n("null", 4, out);
    if (std::signbit(value)) *out++ = '-';
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0) return std::copy_n("0.0", 3, out);
    const ShortestDigits d = shortest_digits(magnitude);
    if (d.exponent >= -5 && d.exponent <= 15) {
        out = write_positional(out, d);
        if (d.exponent >= d.count - 1) out = std::copy_n(".0", 2, out);
        return out;
    }
    *out++ = d.digits[0];
    if (d.count > 1) {
        *out++ = '.';
        out = std::copy(d.digits + 1, d.digits + d.count, out);
    }
    *out++ = 'e';
    *out++ = d.exponent < 0 ? '-' : '+';
    return std::to_chars(out, out + 3, d.exponent < 0 ? -d.exponent : d.exponent).ptr;
}

// The text being written: a string whose whole size is room to write in, and
// a cursor into it. Each token asks for all the room it needs at once and
// then writes through a plain pointer; `take` cuts the string to the text.
class TextBuffer {
public:
    // Continues `text`, with at least `room` bytes to write before growing.
    TextBuffer(std::string text, std::size_t room) : text_(std::move(text)) {
        const std::size_t used = text_.size();
        text_.resize(std::max(used + room, text_.capacity()));
        cur_ = text_.data() + used;
        end_ = text_.data() + text_.size();
    }
    // The cursor points into `text_`.
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // At least `n` bytes of room at the cursor, which the caller writes and
    // then passes the end of to `advance`.
    char* room(std::size_t n) {
        if (n > static_cast<std::size_t>(end_ - cur_)) grow(n);
        return cur_;
    }
    void advance(char* end) noexcept { cur_ = end; }

    void put(char c) {
        char* p = room(1);
        *p++ = c;
        cur_ = p;
    }
    template <std::size_t N> void put_fixed(const char (&text)[N]) {
        cur_ = std::copy_n(text, N - 1, room(N - 1));
    }
    // A string that needs no escape, such as a fixed text of the tree.
    void plain_string(std::string_view text) {
        char* p = room(text.size() + 2);
        *p++ = '"';
        p = std::copy(text.begin(), text.end(), p);
        *p++ = '"';
        cur_ = p;
    }
    void string(std::string_view text);

    std::string take() && {
        text_.resize(static_cast<std::size_t>(cur_ - text_.data()));
        return std::move(text_);
    }

private:
    void grow(std::size_t n);

    std::string text_;
    char* cur_ = nullptr;
    char* end_ = nullptr;
};

void TextBuffer::grow(std::size_t n) {
    const std::size_t used = static_cast<std::size_t>(cur_ - text_.data());
    const std::size_t size = std::max(2 * text_.size(), used + n);
    // Cut to the text first, so that the reallocation copies only the text.
    text_.resize(used);
    text_.resize(size);
    text_.resize(text_.capacity());
    cur_ = text_.data() + used;
    end_ = text_.data() + text_.size();
}

void TextBuffer::string(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    const char* s = text.data();
    const char* const end = s + text.size();
    char* p = room(text.size() + 2);
    *p++ = '"';
    // At the top of the loop there is room for the rest of the text as it
    // is and the closing quote.
    while (s != end) {
        const auto byte = static_cast<unsigned char>(*s++);
        const char escape = escapes[byte];
        if (escape == 0) {
            *p++ = static_cast<char>(byte);
            continue;
        }
        cur_ = p;
        p = room(static_cast<std::size_t>(end - s) + 7);
        *p++ = '\\';
        *p++ = escape;
        if (escape == 'u') {
            *p++ = '0';
            *p++ = '0';
            *p++ = hex[byte >> 4];
            *p++ = hex[byte & 0xf];
        }
    }
    *p++ = '"';
    cur_ = p;
}

// Compact text has no whitespace between tokens; pretty text puts every
// member and element on its own line, two blanks deeper than its container,
// and the closing bracket of a non-empty container on a line of its own.
template <bool Pretty>
class TextTarget {
public:
    explicit TextTarget(std::size_t room) : out_({}, room) {}

    void begin_object() { open('{'); }
    void end_object(bool empty) { close('}', empty); }
    void begin_array(std::size_t) { open('['); }
    void end_array(bool empty) { close(']', empty); }
    // A member name of the tree: a fixed ASCII name that needs no escape,
    // written with its quotes and colon in one piece.
    template <std::size_t N> void member(const char (&name)[N], bool first) {
        constexpr std::size_t size = N - 1;
        char* p = separate(first, size + 4);
        *p++ = '"';
        p = std::copy_n(name, size, p);
        *p++ = '"';
        *p++ = ':';
        if constexpr (Pretty) *p++ = ' ';
        out_.advance(p);
    }
    // A member name of a JSON value, escaped.
    void key(std::string_view name, bool first) {
        out_.advance(separate(first, 0));
        out_.string(name);
        if constexpr (Pretty) {
            out_.put_fixed(": ");
        } else {
            out_.put(':');
        }
    }
    void element(bool first) { out_.advance(separate(first, 0)); }

    void null() { out_.put_fixed("null"); }
    void boolean(bool b) {
        if (b) {
            out_.put_fixed("true");
        } else {
            out_.put_fixed("false");
        }
    }
    void string(std::string_view text) { out_.string(text); }
    void plain_string(std::string_view text) { out_.plain_string(text); }
    void number(double value) { out_.advance(write_json_number(out_.room(number_text_capacity), value)); }
    template <class Integer>
    void integer(Integer value) {
        char* p = out_.room(number_text_capacity);
        out_.advance(std::to_chars(p, p + number_text_capacity, value).ptr);
    }

    std::string take() { return std::move(out_).take(); }

private:
    void open(char bracket) {
        out_.put(bracket);
        if constexpr (Pretty) ++depth_;
    }
    void close(char bracket, bool empty) {
        if constexpr (Pretty) {
            --depth_;
            if (!empty) out_.advance(new_line(out_.room(1 + 2 * depth_)));
        }
        out_.put(bracket);
    }
    // Writes what goes before an item (its comma, and in pretty text its
    // line break and indentation) and returns the cursor with room for `n`
    // more bytes.
    char* separate(bool first, std::size_t n) {
        if constexpr (Pretty) {
            char* p = out_.room(2 + 2 * depth_ + n);
            if (!first) *p++ = ',';
            return new_line(p);
        } else {
            char* p = out_.room(1 + n);
            if (!first) *p++ = ',';
            return p;
        }
    }
    char* new_line(char* p) const {
        *p++ = '\n';
        return std::fill_n(p, 2 * depth_, ' ');
    }

    TextBuffer out_;
    // Open objects and arrays (pretty text only).
    std::size_t depth_ = 0;
};

// Builds each container completely, then places it into its parent.
class ValueTarget {
public:
    void begin_object() { open.push_back(Frame{JsonValue::Object{}, {}}); }
    void end_object(bool) { close(); }
    void begin_array(std::size_t size) {
        JsonValue::Array array;
        array.reserve(size);
        open.push_back(Frame{std::move(array), {}});
    }
    void end_array(bool) { close(); }
    void member(std::string_view name, bool) { open.back().key.assign(name); }
    void element(bool) {}

    void null() { place(JsonValue()); }
    void string(std::string_view text) { place(JsonValue(text)); }
    void plain_string(std::string_view text) { place(JsonValue(text)); }
    void number(double value) { place(JsonValue(value)); }

    JsonValue take() { return std::move(result); }

private:
    struct Frame {
        std::variant<JsonValue::Array, JsonValue::Object> container;
        std::string key;
    };

    void close() {
        Frame frame = std::move(open.back());
        open.pop_back();
        std::visit([this](auto& container) { place(JsonValue(std::move(container))); }, frame.container);
    }
    void place(JsonValue value) {
        if (open.empty()) {
            result = std::move(value);
            return;
        }
        Frame& parent = open.back();
        if (auto* array = std::get_if<JsonValue::Array>(&parent.container)) {
            array->push_back(std::move(value));
        } else {
            std::get<JsonValue::Object>(parent.container).insert(std::move(parent.key), std::move(value));
        }
    }

    std::vector<Frame> open;
    JsonValue result;
};

// The walk over the tree. Every object of the tree has members; `first`
// says whether a group of members opens its object.

template <class Target> void write(Target& t, const Node& node);

template <class Target> void write(Target& t, ConcentrationUnit unit) { t.plain_string(unit_text(unit)); }
template <class Target> void write(Target& t, CompoundKind kind) { t.plain_string(kind_text(kind)); }
template <class Target> void write(Target& t, RatioBasis basis) { t.plain_string(basis_text(basis)); }

template <class Target> void write(Target& t, const Amount& amount) {
    t.begin_object();
    t.member("value", true);
    t.number(amount.value);
    t.member("unit", false);
    write(t, amount.unit);
    t.end_object(false);
}

template <class Target> void write_fields(Target& t, const Compound& compound, bool first) {
    t.member("name", first);
    t.string(compound.name);
    t.member("kind", false);
    write(t, compound.kind);
}

// A ratio term's compound is not a node: no tag.
template <class Target> void write(Target& t, const Compound& compound) {
    t.begin_object();
    write_fields(t, compound, true);
    t.end_object(false);
}

template <class Target> void write(Target& t, const RatioTerm& term) {
    t.begin_object();
    t.member("compound", true);
    write(t, term.compound);
    t.member("share", false);
    t.number(term.share);
    t.end_object(false);
}

template <class Target> void write(Target& t, const BlendTerm& term) {
    t.begin_object();
    t.member("node", true);
    write(t, term.node);
    t.member("amount", false);
    if (term.amount) {
        write(t, *term.amount);
    } else {
        t.null();
    }
    t.end_object(false);
}

template <class Target, class Element> void write(Target& t, const std::vector<Element>& list) {
    t.begin_array(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        t.element(i == 0);
        write(t, list[i]);
    }
    t.end_array(list.empty());
}

template <class Target> void write_fields(Target& t, const RatioMixture& mixture, bool first) {
    t.member("terms", first);
    write(t, mixture.terms);
    t.member("basis", false);
    write(t, mixture.basis);
}

template <class Target> void write_fields(Target& t, const Solution& solution, bool first) {
    t.member("solute", first);
    write(t, *solution.solute);
    t.member("solvent", false);
    write(t, *solution.solvent);
    t.member("solute_amount", false);
    write(t, solution.solute_amount);
}

template <class Target> void write_fields(Target& t, const Blend& blend, bool first) {
    t.member("terms", first);
    write(t, blend.terms);
}

template <class Target> void write(Target& t, const Node& node) {
    ensure_stack_room();
    t.begin_object();
    t.member("node_type", true);
    t.plain_string(node_tag(node));
    std::visit([&t](const auto& alternative) { write_fields(t, alternative, false); }, node.value);
    t.end_object(false);
}

// The walk over a JSON value, members in the value's own order.
void write_value(TextTarget<false>& t, const JsonValue& value) {
    struct Visitor {
        TextTarget<false>& t;
        void operator()(JsonValue::Null) const { t.null(); }
        void operator()(bool b) const { t.boolean(b); }
        void operator()(std::uint64_t u) const { t.integer(u); }
        void operator()(std::int64_t i) const { t.integer(i); }
        void operator()(double d) const { t.number(d); }
        void operator()(const std::string& s) const { t.string(s); }
        void operator()(const JsonValue::Array& array) const {
            t.begin_array(array.size());
            for (std::size_t i = 0; i < array.size(); ++i) {
                t.element(i == 0);
                write_value(t, array[i]);
            }
            t.end_array(array.empty());
        }
        void operator()(const JsonValue::Object& object) const {
            t.begin_object();
            bool first = true;
            for (const auto& [key, member] : object) {
                t.key(key, first);
                first = false;
                write_value(t, member);
            }
            t.end_object(object.empty());
        }
    };
    ensure_stack_room();
    std::visit(Visitor{t}, value.value());
}

// Room to start with: most formulations' JSON text fits, so it is written
// without growing.
constexpr std::size_t initial_room = 512;

}  // namespace

std::string to_json_text(const Node& node) {
    TextTarget<false> target(initial_room);
    write(target, node);
    return target.take();
}

std::string to_json_text_pretty(const Node& node) {
    TextTarget<true> target(2 * initial_room);
    write(target, node);
    return target.take();
}

JsonValue to_json_value(const Node& node) {
    ValueTarget target;
    write(target, node);
    return target.take();
}

std::string json_value_text(const JsonValue& value) {
    TextTarget<false> target(initial_room);
    write_value(target, value);
    return target.take();
}

void append_json_number(std::string& out, double value) {
    char text[number_text_capacity];
    out.append(text, write_json_number(text, value));
}

void append_json_string(std::string& out, std::string_view text) {
    TextBuffer buffer(std::move(out), text.size() + 2);
    buffer.string(text);
    out = std::move(buffer).take();
}

}  // namespace kelmora
