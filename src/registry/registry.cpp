#include "kelmora/registry.hpp"

#include "builtin_table.hpp"
#include "lowercase.hpp"

namespace kelmora {

namespace {

BuiltinTable build_embedded_table() {
    return registry_detail::build_builtin_table(embedded_compound_table());
}

}  // namespace

const BuiltinTable& builtin_registry() {
    return registry_detail::published_table<&build_embedded_table>();
}

const CompoundInfo* CompoundRegistry::find(std::string_view name) const {
    if (!extra_entries.empty()) {
        if (auto it = extra_entries.find(std::string(name)); it != extra_entries.end()) return &it->second;
    }
    const BuiltinTable& builtin = builtin_registry();
    if (const CompoundInfo* hit = builtin.find_exact(name)) return hit;

    const auto lower = registry_detail::lowercase(name);
    if (!lower) return nullptr;
    for (const auto& [key, info] : extra_entries) {
        if (registry_detail::lowercase(key) == lower) return &info;
    }
    return builtin.find_lowercase(*lower);
}

std::optional<CompoundInfo> CompoundRegistry::lookup_info(std::string_view name) const {
    if (const CompoundInfo* hit = find(name)) return *hit;
    return std::nullopt;
}

}  // namespace kelmora
