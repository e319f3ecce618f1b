// The compound-table format: any text reads or fails cleanly.
#include <string_view>

#include "fuzz_util.hpp"
#include "kelmora/registry.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!kelmora::fuzz::is_valid_utf8(text)) return -1;
    auto table = kelmora::read_compound_table(text);
    if (!table) (void)table.error().debug();
    return 0;
}
