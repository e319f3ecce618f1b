// JSON tree text: read, check, render and write; a finite tree that nests
// fewer than 128 levels writes text that reads again to the same text.
#include <string>
#include <string_view>

#include "fuzz_util.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"
#include "kelmora/render.hpp"
#include "kelmora/validate.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!kelmora::fuzz::is_valid_utf8(text)) return -1;
    auto tree = kelmora::read_json_tree(text);
    if (!tree) {
        (void)tree.error().display();
        return 0;
    }
    if (auto checked = kelmora::validate_tree(*tree); !checked) (void)checked.error().message();
    (void)kelmora::render(*tree);
    std::string json = kelmora::to_json_text(*tree);
    std::string pretty = kelmora::to_json_text_pretty(*tree);
    if (!kelmora::fuzz::all_numbers_finite(*tree) || kelmora::fuzz::json_depth(*tree) >= 128) return 0;
    for (const std::string* written : {&json, &pretty}) {
        auto again = kelmora::read_json_tree(*written);
        if (!again) kelmora::fuzz::property_failed("written text does not read", *written, again.error().display());
        std::string second = kelmora::to_json_text(*again);
        if (second != json) kelmora::fuzz::property_failed("written text changes", json, second);
    }
    return 0;
}
