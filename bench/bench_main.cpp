// Each road of the library timed against the baseline a user would compare
// it with, in one run; the ratios are printed after the table.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "corpus.hpp"
#include "kelmora/json.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/registry.hpp"
#include "kelmora/json_reader.hpp"

namespace kelmora::bench {
namespace {

// One set of formulations in each of the forms the benchmarks start from.
struct Corpus {
    std::vector<std::string> shorthand;
    std::vector<std::string> json;
    std::vector<Node> trees;
    std::vector<rapidjson::Document> documents;
    std::size_t shorthand_bytes = 0;
    std::size_t json_bytes = 0;
};

Corpus make_corpus(std::vector<std::string> shorthand) {
    Corpus corpus;
    for (const std::string& text : shorthand) {
        auto outcome = parse_and_validate(text);
        if (!outcome) throw std::runtime_error("corpus text does not parse: " + text + ": " + outcome.error().message());
        std::string json = to_json_text(outcome->tree);
        rapidjson::Document document;
        document.Parse(json.c_str());
        if (document.HasParseError()) throw std::runtime_error("RapidJSON does not read: " + json);
        if (!read_json_tree(json)) throw std::runtime_error("the tree reader does not read: " + json);
        corpus.shorthand_bytes += text.size();
        corpus.json_bytes += json.size();
        corpus.json.push_back(std::move(json));
        corpus.trees.push_back(std::move(outcome->tree));
        corpus.documents.push_back(std::move(document));
    }
    corpus.shorthand = std::move(shorthand);
    return corpus;
}

// One pass over the input per function. They are kept out of line so that
// `bench/run --instructions` can count the instructions of exactly one pass
// (callgrind collects only inside functions named *_pass).
[[gnu::noinline]] void parse_pass(const Corpus& corpus) {
    for (const std::string& text : corpus.shorthand) {
        auto outcome = parse_and_validate(text);
        benchmark::DoNotOptimize(outcome);
    }
}

[[gnu::noinline]] void read_pass(const Corpus& corpus) {
    for (const std::string& text : corpus.json) {
        auto tree = read_json_tree(text);
        benchmark::DoNotOptimize(tree);
    }
}

[[gnu::noinline]] void rapidjson_parse_pass(const Corpus& corpus) {
    for (const std::string& text : corpus.json) {
        // The null-terminated form: RapidJSON's usual and fastest entry.
        rapidjson::Document document;
        document.Parse(text.c_str());
        benchmark::DoNotOptimize(document);
    }
}

[[gnu::noinline]] void write_pass(const Corpus& corpus) {
    for (const Node& tree : corpus.trees) {
        std::string text = to_json_text(tree);
        benchmark::DoNotOptimize(text);
    }
}

[[gnu::noinline]] void rapidjson_write_pass(const Corpus& corpus) {
    for (const rapidjson::Document& document : corpus.documents) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
}

[[gnu::noinline]] void lookup_pass(const std::vector<std::string>& names) {
    const CompoundRegistry registry;
    for (const std::string& name : names) {
        auto info = registry.lookup_info(name);
        benchmark::DoNotOptimize(info);
    }
}

// Registers one benchmark that repeats `pass`; with `once` it runs a single
// iteration, for counting instructions.
template <class Pass>
void add(const std::string& name, Pass pass, std::size_t bytes, std::size_t items, bool once) {
    auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), [pass, bytes, items](benchmark::State& state) {
        for (auto _ : state) pass();
        const auto iterations = static_cast<std::int64_t>(state.iterations());
        if (bytes != 0) state.SetBytesProcessed(iterations * static_cast<std::int64_t>(bytes));
        if (items != 0) state.SetItemsProcessed(iterations * static_cast<std::int64_t>(items));
    });
    if (once) benchmark->Iterations(1)->Repetitions(1);
}

// Keeps the CPU time per iteration of every benchmark (the median when the
// run repeats) for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a saved run reads as plain text.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((single || median) && !run.error_occurred) times_[run.run_name.str()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const std::map<std::string, double>& times() const { return times_; }

private:
    std::map<std::string, double> times_;
};

struct Comparison {
    std::string what;
    std::string measured;
    std::string baseline;
    double goal;
};

void print_ratios(const std::map<std::string, double>& times, const char* measure) {
    const Comparison comparisons[] = {
        {"parse_and_validate / RapidJSON DOM parse, everyday", "parse_and_validate/everyday",
         "rapidjson_parse/everyday", 1.0},
        {"parse_and_validate / RapidJSON DOM parse, large", "parse_and_validate/large", "rapidjson_parse/large",
         1.0},
        {"JSON tree reader / RapidJSON DOM parse, everyday", "json_tree_reader/everyday", "rapidjson_parse/everyday",
         1.5},
        {"JSON tree reader / RapidJSON DOM parse, large", "json_tree_reader/large", "rapidjson_parse/large", 1.5},
        {"compact JSON writer / RapidJSON Writer, everyday", "json_writer/everyday", "rapidjson_writer/everyday",
         1.5},
        {"compact JSON writer / RapidJSON Writer, large", "json_writer/large", "rapidjson_writer/large", 1.5},
        {"lookup_info unknown / known", "lookup_info/unknown", "lookup_info/known", 3.0},
        {"lookup_info another case / known", "lookup_info/another_case", "lookup_info/known", 0.0},
    };
    std::printf("\n%-52s %8s %8s\n", (std::string("ratio (") + measure + ")").c_str(), "ratio", "goal");
    for (const Comparison& c : comparisons) {
        const auto measured = times.find(c.measured);
        const auto baseline = times.find(c.baseline);
        if (measured == times.end() || baseline == times.end() || !(baseline->second > 0.0)) continue;
        const double ratio = measured->second / baseline->second;
        if (c.goal > 0.0) {
            const bool met = ratio <= c.goal;
            std::printf("%-52s %8.2f %7s%.1f %s\n", c.what.c_str(), ratio, "<= ", c.goal, met ? "met" : "MISSED");
        } else {
            std::printf("%-52s %8.2f %8s\n", c.what.c_str(), ratio, "-");
        }
    }
}

// The flags of this program besides Google Benchmark's own.
struct Options {
    bool once = false;                 // --kelmora_once
    std::string instructions_file;     // --kelmora_instructions=FILE
};

Options take_options(int& argc, char** argv) {
    Options options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        constexpr std::string_view instructions = "--kelmora_instructions=";
        if (arg == "--kelmora_once") {
            options.once = true;
        } else if (arg.starts_with(instructions)) {
            options.instructions_file = std::string(arg.substr(instructions.size()));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return options;
}

// "name count" lines, as bench/run writes them from callgrind's totals.
std::map<std::string, double> read_counts(const std::string& path) {
    std::map<std::string, double> counts;
    std::ifstream in(path);
    std::string name;
    double count = 0;
    while (in >> name >> count) counts[name] = count;
    return counts;
}

}  // namespace
}  // namespace kelmora::bench

int main(int argc, char** argv) {
    using namespace kelmora::bench;
    const Options options = take_options(argc, argv);
    if (!options.instructions_file.empty()) {
        print_ratios(read_counts(options.instructions_file), "instructions");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // Built once, before any timing; they live until the end of main.
    static const Corpus everyday = make_corpus(everyday_formulations(2000, 20261210));
    static const Corpus large = make_corpus(large_formulations());
    static const std::vector<std::string> known = known_names();
    static const std::vector<std::string> another_case = names_in_another_case();
    static const std::vector<std::string> unknown = unknown_names();

    const bool once = options.once;
    for (const auto& [name, corpus] : {std::pair<const char*, const Corpus*>{"everyday", &everyday},
                                       std::pair<const char*, const Corpus*>{"large", &large}}) {
        const std::string suffix = std::string("/") + name;
        const Corpus& c = *corpus;
        add("parse_and_validate" + suffix, [&c] { parse_pass(c); }, c.shorthand_bytes, 0, once);
        add("rapidjson_parse" + suffix, [&c] { rapidjson_parse_pass(c); }, c.json_bytes, 0, once);
        add("json_tree_reader" + suffix, [&c] { read_pass(c); }, c.json_bytes, 0, once);
        add("json_writer" + suffix, [&c] { write_pass(c); }, c.json_bytes, 0, once);
        add("rapidjson_writer" + suffix, [&c] { rapidjson_write_pass(c); }, c.json_bytes, 0, once);
    }
    // The table is built on the first lookup; do it before any timing.
    benchmark::DoNotOptimize(kelmora::CompoundRegistry{}.lookup_info("EC"));
    add("lookup_info/known", [] { lookup_pass(known); }, 0, known.size(), once);
    add("lookup_info/another_case", [] { lookup_pass(another_case); }, 0, another_case.size(), once);
    add("lookup_info/unknown", [] { lookup_pass(unknown); }, 0, unknown.size(), once);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.times().empty()) return 0;
    std::printf("\neveryday corpus: %zu formulations, %zu bytes of shorthand, %zu bytes of JSON\n",
                everyday.shorthand.size(), everyday.shorthand_bytes, everyday.json_bytes);
    std::printf("large corpus: %zu formulations, %zu bytes of shorthand, %zu bytes of JSON\n", large.shorthand.size(),
                large.shorthand_bytes, large.json_bytes);
    // A missed goal is reported in the table, not as a failed run.
    print_ratios(reporter.times(), "CPU time");
    return 0;
}
