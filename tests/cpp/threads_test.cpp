// Many threads at once through every road of the library, the first registry
// lookup of the process included. Meant to run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kelmora/battinfo.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/registry.hpp"
#include "kelmora/render.hpp"
#include "kelmora/validate.hpp"

namespace kelmora {
namespace {

constexpr const char* formulations[] = {
    "1M LiPF6 in EC:DMC 3:7wt",
    "1M LiPF6 in EC + 2wt% VC",
    "1M LiPF6 in (EC + 10wt% FEC)",
    "EC + 5wt% (DMC:EMC 1:1vol)",
    "0.8 molal NaFSI in ec:pc 1:1 vol + 1wt% unknownthing",
    "EC:LiPF6 1:1wt",
    "1M LiPF6 in",
};

TEST(Threads, EveryRoadFromEightThreadsAtOnce) {
    // Nothing before this point has touched the built-in table, so the
    // threads race for its one-time build.
    constexpr int thread_count = 8;
    std::atomic<int> ready{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < thread_count) std::this_thread::yield();
            CompoundRegistry registry;
            if (!registry.lookup_info(t % 2 ? "ec" : "LiPF6")) failures.fetch_add(1);
            for (int round = 0; round < 20; ++round) {
                for (const char* text : formulations) {
                    auto parsed = parse_and_validate(text);
                    if (!parsed) {
                        (void)parsed.error().message();
                        continue;
                    }
                    std::string canonical = render(parsed->tree);
                    std::string json = to_json_text(parsed->tree);
                    (void)to_json_text_pretty(parsed->tree);
                    (void)to_json_value(parsed->tree);
                    (void)json_value_text(to_battinfo_jsonld(parsed->tree, registry));
                    auto read = read_json_tree(json);
                    if (!read || !validate_tree(*read) || render(*read) != canonical ||
                        to_json_text(*read) != json)
                        failures.fetch_add(1);
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace kelmora
