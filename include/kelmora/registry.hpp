// The compound registry: the built-in table of known compound names and the
// lookups by exact name and ignoring case.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "kelmora/model.hpp"
#include "kelmora/read_error.hpp"

namespace kelmora {

struct CompoundInfo {
    CompoundKind kind = CompoundKind::Unknown;
    std::optional<std::string> emmo_iri;
    std::optional<std::string> pref_label;
    std::string kelmora_pref_label;

    bool operator==(const CompoundInfo&) const = default;
};

using CompoundTable = std::unordered_map<std::string, CompoundInfo>;

class BuiltinTable;

// The built-in table, built on first use (thread-safe, once per process;
// a failed build publishes nothing and is retried by the next call).
const BuiltinTable& builtin_registry();

class CompoundRegistry {
public:
    // Searched before the built-in table in both passes; every caller in the
    // system leaves it empty.
    CompoundTable extra_entries;

    // Exact pass (extra entries, then the built-in table), then the Unicode
    // lowercase pass in the same order. Returns a copy.
    std::optional<CompoundInfo> lookup_info(std::string_view name) const;
    // The same lookup, answering with a reference into the registry.
    const CompoundInfo* find(std::string_view name) const;
};

// Reads text in the compound-table format (the embedded table's reader).
std::expected<CompoundTable, ReadError> read_compound_table(std::string_view text);

// The embedded text of registry_data.json.
std::string_view embedded_compound_table() noexcept;

}  // namespace kelmora
