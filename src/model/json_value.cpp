// The JSON value: numbers keep which of the three kinds they are, objects keep
// their members in byte order of the keys.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "kelmora/json.hpp"

namespace kelmora {

namespace {

// std::string_view compares through char_traits<char>, which orders bytes as
// unsigned values; a key that is a prefix of another sorts first.
template <class Members>
auto lower_bound_of(Members& members, std::string_view key) {
    return std::lower_bound(members.begin(), members.end(), key,
                            [](const JsonValue::Object::Member& m, std::string_view k) {
                                return std::string_view(m.first) < k;
                            });
}

}  // namespace

void JsonValue::Object::insert(std::string key, JsonValue value) {
    // Builders mostly insert in ascending order: check the end first.
    if (members_.empty() || std::string_view(members_.back().first) < std::string_view(key)) {
        members_.emplace_back(std::move(key), std::move(value));
        return;
    }
    auto at = lower_bound_of(members_, key);
    if (at != members_.end() && at->first == key) {
        at->second = std::move(value);
        return;
    }
    members_.emplace(at, std::move(key), std::move(value));
}

const JsonValue* JsonValue::Object::find(std::string_view key) const noexcept {
    auto at = lower_bound_of(members_, key);
    if (at != members_.end() && at->first == key) return &at->second;
    return nullptr;
}

JsonValue::JsonValue(std::int64_t i) {
    if (i >= 0) {
        value_ = static_cast<std::uint64_t>(i);
    } else {
        value_ = i;
    }
}

JsonValue::JsonValue(double d) {
    if (std::isfinite(d)) value_ = d;
}

}  // namespace kelmora
