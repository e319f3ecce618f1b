// The JSON tree writer: one walk over the tree, three targets (compact text,
// pretty text, JSON value). The walk decides members and values; the target
// decides layout, and the value builder's objects put members in key order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kelmora/errors.hpp"
#include "kelmora/json.hpp"

namespace kelmora {

namespace {

template <bool Pretty>
class TextTarget {
public:
    TextTarget() { out_.reserve(128); }

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array(std::size_t) { open('['); }
    void end_array() { close(']'); }
    void key(std::string_view name) {
        next_item();
        append_json_string(out_, name);
        if constexpr (Pretty) {
            out_ += ": ";
        } else {
            out_ += ':';
        }
    }
    void element() { next_item(); }

    void null() { out_ += "null"; }
    void boolean(bool b) { out_ += b ? "true" : "false"; }
    void string(std::string_view text) { append_json_string(out_, text); }
    void number(double value) { append_json_number(out_, value); }
    template <class Integer>
    void integer(Integer value) {
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, value);
        out_.append(text, result.ptr);
    }

    std::string take() { return std::move(out_); }

private:
    void open(char bracket) {
        out_ += bracket;
        has_items_.push_back(false);
    }
    void next_item() {
        if (has_items_.back()) out_ += ',';
        has_items_.back() = true;
        if constexpr (Pretty) new_line();
    }
    void close(char bracket) {
        const bool had_items = has_items_.back();
        has_items_.pop_back();
        if constexpr (Pretty) {
            if (had_items) new_line();
        }
        out_ += bracket;
    }
    void new_line() {
        out_ += '\n';
        out_.append(2 * has_items_.size(), ' ');
    }

    std::string out_;
    // One entry per open object or array: whether it has a member yet.
    std::vector<bool> has_items_;
};

// Builds each container completely, then places it into its parent.
class ValueTarget {
public:
    void begin_object() { open.push_back(Frame{JsonValue::Object{}, {}}); }
    void end_object() { close(); }
    void begin_array(std::size_t size) {
        JsonValue::Array array;
        array.reserve(size);
        open.push_back(Frame{std::move(array), {}});
    }
    void end_array() { close(); }
    void key(std::string_view name) { open.back().key.assign(name); }
    void element() {}

    void null() { place(JsonValue()); }
    void string(std::string_view text) { place(JsonValue(text)); }
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

// The walk over the tree.

template <class Target> void write(Target& t, const Node& node);

template <class Target> void write(Target& t, ConcentrationUnit unit) { t.string(unit_text(unit)); }
template <class Target> void write(Target& t, CompoundKind kind) { t.string(kind_text(kind)); }
template <class Target> void write(Target& t, RatioBasis basis) { t.string(basis_text(basis)); }

template <class Target> void write(Target& t, const Amount& amount) {
    t.begin_object();
    t.key("value");
    t.number(amount.value);
    t.key("unit");
    write(t, amount.unit);
    t.end_object();
}

template <class Target> void write_fields(Target& t, const Compound& compound) {
    t.key("name");
    t.string(compound.name);
    t.key("kind");
    write(t, compound.kind);
}

// A ratio term's compound is not a node: no tag.
template <class Target> void write(Target& t, const Compound& compound) {
    t.begin_object();
    write_fields(t, compound);
    t.end_object();
}

template <class Target> void write(Target& t, const RatioTerm& term) {
    t.begin_object();
    t.key("compound");
    write(t, term.compound);
    t.key("share");
    t.number(term.share);
    t.end_object();
}

template <class Target> void write(Target& t, const BlendTerm& term) {
    t.begin_object();
    t.key("node");
    write(t, term.node);
    t.key("amount");
    if (term.amount) {
        write(t, *term.amount);
    } else {
        t.null();
    }
    t.end_object();
}

template <class Target, class Element> void write(Target& t, const std::vector<Element>& list) {
    t.begin_array(list.size());
    for (const Element& element : list) {
        t.element();
        write(t, element);
    }
    t.end_array();
}

template <class Target> void write_fields(Target& t, const RatioMixture& mixture) {
    t.key("terms");
    write(t, mixture.terms);
    t.key("basis");
    write(t, mixture.basis);
}

template <class Target> void write_fields(Target& t, const Solution& solution) {
    t.key("solute");
    write(t, *solution.solute);
    t.key("solvent");
    write(t, *solution.solvent);
    t.key("solute_amount");
    write(t, solution.solute_amount);
}

template <class Target> void write_fields(Target& t, const Blend& blend) {
    t.key("terms");
    write(t, blend.terms);
}

template <class Target> void write(Target& t, const Node& node) {
    t.begin_object();
    t.key("node_type");
    t.string(node_tag(node));
    std::visit([&t](const auto& alternative) { write_fields(t, alternative); }, node.value);
    t.end_object();
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
            for (const JsonValue& element : array) {
                t.element();
                write_value(t, element);
            }
            t.end_array();
        }
        void operator()(const JsonValue::Object& object) const {
            t.begin_object();
            for (const auto& [key, member] : object) {
                t.key(key);
                write_value(t, member);
            }
            t.end_object();
        }
    };
    std::visit(Visitor{t}, value.value());
}

bool needs_escape(unsigned char byte) noexcept { return byte < 0x20 || byte == '"' || byte == '\\'; }

}  // namespace

std::string to_json_text(const Node& node) {
    TextTarget<false> target;
    write(target, node);
    return target.take();
}

std::string to_json_text_pretty(const Node& node) {
    TextTarget<true> target;
    write(target, node);
    return target.take();
}

JsonValue to_json_value(const Node& node) {
    ValueTarget target;
    write(target, node);
    return target.take();
}

std::string json_value_text(const JsonValue& value) {
    TextTarget<false> target;
    write_value(target, value);
    return target.take();
}

void append_json_number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    // Sign, 17 digits, a point and an exponent of at most "e-324".
    char text[24];
    char* end = text;
    if (std::signbit(value)) *end++ = '-';
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0) {
        end = std::copy_n("0.0", 3, end);
        out.append(text, end);
        return;
    }
    const ShortestDigits d = shortest_digits(magnitude);
    if (d.exponent >= -5 && d.exponent <= 15) {
        end = write_positional(end, d);
        if (d.exponent >= d.count - 1) end = std::copy_n(".0", 2, end);
    } else {
        *end++ = d.digits[0];
        if (d.count > 1) {
            *end++ = '.';
            end = std::copy(d.digits + 1, d.digits + d.count, end);
        }
        *end++ = 'e';
        *end++ = d.exponent < 0 ? '-' : '+';
        end = std::to_chars(end, text + sizeof text, d.exponent < 0 ? -d.exponent : d.exponent).ptr;
    }
    out.append(text, end);
}

void append_json_string(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t run_start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!needs_escape(byte)) continue;
        out.append(text, run_start, i - run_start);
        run_start = i + 1;
        switch (byte) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            default: {
                const char escape[] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xf]};
                out.append(escape, sizeof escape);
            }
        }
    }
    out.append(text, run_start, text.size() - run_start);
    out += '"';
}

}  // namespace kelmora
