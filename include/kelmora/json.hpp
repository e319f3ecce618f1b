// The JSON value (the in-memory JSON form shared by the writer, the JSON-LD
// export and the Python module) and the JSON tree writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kelmora/model.hpp"

namespace kelmora {

class JsonValue {
public:
    struct Null {};
    using Array = std::vector<JsonValue>;
    // Members in ascending byte order of their keys, one member per key.
    class Object {
    public:
        using Member = std::pair<std::string, JsonValue>;
        // Inserts, or replaces the value of an existing key.
        void insert(std::string key, JsonValue value);
        const JsonValue* find(std::string_view key) const noexcept;
        const std::vector<Member>& members() const noexcept { return members_; }
        std::size_t size() const noexcept { return members_.size(); }
        bool empty() const noexcept { return members_.empty(); }
        auto begin() const noexcept { return members_.begin(); }
        auto end() const noexcept { return members_.end(); }

    private:
        std::vector<Member> members_;
    };
    // A number is exactly one of these three and keeps which one it is:
    // unsigned, negative signed, or finite float.
    using Variant = std::variant<Null, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object>;

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool b) : value_(b) {}
    // A non-negative integer is stored unsigned, a negative one signed.
    JsonValue(std::uint64_t u) : value_(u) {}
    JsonValue(std::int64_t i);
    JsonValue(int i) : JsonValue(static_cast<std::int64_t>(i)) {}
    // A float that is not finite becomes null.
    JsonValue(double d);
    JsonValue(std::string s) : value_(std::move(s)) {}
    JsonValue(std::string_view s) : value_(std::string(s)) {}
    JsonValue(const char* s) : value_(std::string(s)) {}
    JsonValue(Array a) : value_(std::move(a)) {}
    JsonValue(Object o) : value_(std::move(o)) {}

    const Variant& value() const noexcept { return value_; }
    template <class T> const T* get_if() const noexcept { return std::get_if<T>(&value_); }
    template <class T> bool is() const noexcept { return std::holds_alternative<T>(value_); }
    bool is_null() const noexcept { return is<Null>(); }

private:
    Variant value_;
};

// Compact JSON text of a tree (no whitespace between tokens).
std::string to_json_text(const Node& node);
// Pretty JSON text of a tree (two-blank indentation, no final line break).
std::string to_json_text_pretty(const Node& node);
// The tree as a JSON value (an object; keys in byte order at every level).
JsonValue to_json_value(const Node& node);

// Compact JSON text of a JSON value, with the writer's string and number
// rules (the JSON-LD tests and benchmarks compare documents through it).
std::string json_value_text(const JsonValue& value);

// The writer's number text of a finite or non-finite float ("null" for NaN
// and infinities), and its string escaping; appended to `out`.
void append_json_number(std::string& out, double value);
void append_json_string(std::string& out, std::string_view text);

}  // namespace kelmora
