// The built-in compound table: the embedded table after its kind corrections
// and additions, with a lowercase index of its keys.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "kelmora/registry.hpp"

namespace kelmora {

namespace registry_detail {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

template <class Value>
using StringMap = std::unordered_map<std::string, Value, StringHash, std::equal_to<>>;

// The IRI under which the library adds MA and MethylAcetate; no entry of the
// embedded table carries it.
inline constexpr std::string_view methyl_acetate_iri =
    "https://w3id.org/emmo/domain/chemical-substance#substance_ef47fc30_3b34_5274_a959_c9c58f15e73a";

// Applies the kind corrections, then the additions, in their fixed order.
void correct_and_extend(CompoundTable& table);

}  // namespace registry_detail

class BuiltinTable {
public:
    explicit BuiltinTable(CompoundTable table);
    // The index points into the entries, so the table stays where it is built.
    BuiltinTable(const BuiltinTable&) = delete;
    BuiltinTable& operator=(const BuiltinTable&) = delete;

    const CompoundInfo* find_exact(std::string_view name) const;
    // `lowercase_name` is already in lowercase form.
    const CompoundInfo* find_lowercase(std::string_view lowercase_name) const;

    const registry_detail::StringMap<CompoundInfo>& entries() const noexcept { return entries_; }

private:
    registry_detail::StringMap<CompoundInfo> entries_;
    registry_detail::StringMap<const CompoundInfo*> by_lowercase_;
};

namespace registry_detail {

// Reads `text` as a compound table and corrects and extends it; a text that
// does not read is an internal error (the embedded one always reads).
BuiltinTable build_builtin_table(std::string_view text);

// Builds once through `Build` and hands out that table from then on. A build
// that throws publishes nothing, and the next call builds again.
template <BuiltinTable (*Build)()>
const BuiltinTable& published_table() {
    static const BuiltinTable table = Build();
    return table;
}

}  // namespace registry_detail

}  // namespace kelmora
