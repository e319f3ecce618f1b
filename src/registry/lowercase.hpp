// The lowercase form under which the registry compares names ignoring case:
// the full Unicode lowercase mapping, the same in every locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelmora::registry_detail {

// Nothing when the text is not valid UTF-8 (such a name matches no key).
std::optional<std::string> lowercase(std::string_view text);

// The two paths of lowercase(), exposed so that their agreement on ASCII
// text can be checked.
std::string ascii_lowercase(std::string_view text);
std::optional<std::string> unicode_lowercase(std::string_view text);

}  // namespace kelmora::registry_detail
