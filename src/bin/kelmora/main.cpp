// kelmora: reads one formulation from its argument or standard input and
// prints its canonical shorthand or JSON tree.
#include <exception>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli.hpp"
#include "kelmora/internal_error.hpp"
#include "roads.hpp"
#include "streams.hpp"

namespace {

constexpr int internal_error_status = 101;

// Source paths are shown relative to the checkout.
std::string_view shown_path(std::string_view file) {
    constexpr std::string_view root = KELMORA_SOURCE_DIR "/";
    if (file.starts_with(root)) file.remove_prefix(root.size());
    return file;
}

void report_internal_error(const kelmora::InternalError& error) {
    const kelmora::ErrorLocation& where = error.location();
    std::string report = "internal error at ";
    report.append(shown_path(where.file));
    report += ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ":\n";
    report += error.message();
    report += "\n";
    kelmora::cli::write_ignoring_failure(kelmora::cli::Stream::Stderr, report);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kelmora::cli;
    prepare_standard_streams();
    try {
        const std::vector<std::string> args(argv, argv + argc);
        auto parsed = Cli::parse(args);
        if (const auto* exit = std::get_if<EarlyExit>(&parsed)) {
            write_ignoring_failure(exit->stream, exit->text.render(styling_enabled(exit->stream)));
            return exit->status;
        }
        return run(std::get<Cli>(parsed));
    } catch (const kelmora::InternalError& error) {
        report_internal_error(error);
        return internal_error_status;
    }
}
