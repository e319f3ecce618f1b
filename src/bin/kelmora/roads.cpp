#include "roads.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "kelmora/errors.hpp"
#include "kelmora/json.hpp"
#include "kelmora/json_reader.hpp"
#include "kelmora/parser.hpp"
#include "kelmora/render.hpp"
#include "kelmora/validate.hpp"
#include "streams.hpp"

namespace kelmora::cli {

namespace {

constexpr int failure_status = 1;

// The argument exactly as typed, or all of standard input; never trimmed.
std::optional<std::string> obtain_text(const std::optional<std::string>& input) {
    if (input) return *input;
    return read_standard_input();
}

int report_error(std::string_view message) {
    print_line(Stream::Stderr, "error: " + std::string(message));
    return failure_status;
}

// Parses shorthand; on success prints the warnings and hands the tree on.
template <class Write>
int parse_and_print(const std::optional<std::string>& input, Write write_result) {
    const std::optional<std::string> text = obtain_text(input);
    if (!text) return report_error("failed to read stdin");
    const auto outcome = parse_and_validate(*text);
    if (!outcome) return report_error(outcome.error().message());
    for (const std::string& warning : outcome->warnings) print_line(Stream::Stderr, "warning: " + warning);
    print_line(Stream::Stdout, write_result(outcome->tree));
    return 0;
}

int run_road(const Normalize& command) {
    return parse_and_print(command.input, [](const Node& tree) { return render(tree); });
}

int run_road(const ToJson& command) {
    return parse_and_print(command.input, [&](const Node& tree) {
        return command.pretty ? to_json_text_pretty(tree) : to_json_text(tree);
    });
}

int run_road(const FromJson& command) {
    const std::optional<std::string> text = obtain_text(command.input);
    if (!text) return report_error("failed to read stdin");
    const auto tree = read_json_tree(*text);
    if (!tree) return report_error(tree.error().display());
    if (const auto checked = validate_tree(*tree); !checked) return report_error(checked.error().message());
    print_line(Stream::Stdout, render(*tree));
    return 0;
}

}  // namespace

int run(const Cli& cli) {
    return std::visit([](const auto& command) { return run_road(command); }, cli.subcommand);
}

}  // namespace kelmora::cli
