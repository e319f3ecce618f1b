// Shorthand text: parse, render and write; a finite tree's canonical text
// parses again to the same canonical text.
#include <string>
#include <string_view>

#include "fuzz_util.hpp"
#include "kelmora/json.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/render.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!kelmora::fuzz::is_valid_utf8(text)) return -1;
    auto outcome = kelmora::parse_and_validate(text);
    if (!outcome) {
        (void)outcome.error().message();
        return 0;
    }
    const kelmora::Node& tree = outcome->tree;
    std::string canonical = kelmora::render(tree);
    (void)kelmora::to_json_text(tree);
    (void)kelmora::to_json_text_pretty(tree);
    if (!kelmora::fuzz::all_numbers_finite(tree) || kelmora::fuzz::any_name_reads_as_amount(tree)) return 0;
    auto again = kelmora::parse_and_validate(canonical);
    if (!again) kelmora::fuzz::property_failed("canonical text does not parse", canonical, again.error().message());
    std::string second = kelmora::render(again->tree);
    if (second != canonical) kelmora::fuzz::property_failed("canonical text changes", canonical, second);
    return 0;
}
