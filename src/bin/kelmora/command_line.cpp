#include "command_line.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "similarity.hpp"
#include "utf8.hpp"

namespace kelmora::cli {

bool Matches::flag(std::string_view long_name) const noexcept {
    return std::find(flags.begin(), flags.end(), long_name) != flags.end();
}

std::optional<std::string> program_name(std::span<const std::string> args) {
    if (args.empty()) return std::nullopt;
    std::string_view path = args.front();
    // Empty and "." components do not count; a path that ends in ".." or is
    // only "/" or "." names no file.
    std::string_view last;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".") last = part;
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    if (last.empty() || last == ".." || !is_valid_utf8(last)) return std::nullopt;
    return std::string(last);
}

namespace {

using Result = std::variant<Matches, EarlyExit>;

bool is_long(std::string_view arg) noexcept { return arg.size() > 2 && arg.starts_with("--"); }
bool is_short(std::string_view arg) noexcept { return arg.size() > 1 && arg[0] == '-' && arg[1] != '-'; }

class LevelParser {
public:
    explicit LevelParser(CommandAt command) : matches_{std::move(command), std::nullopt, {}} {}

    Result parse(std::span<const std::string> args) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            const std::span<const std::string> rest = args.subspan(i + 1);
            if (!trailing_) {
                if (const CommandDef* sub = definition().find_subcommand(arg)) {
                    if (sub->name == help_subcommand) return help_walk(rest);
                    if (auto invalid = resolve_positional()) return std::move(*invalid);
                    return LevelParser(matches_.command.subcommand(*sub)).parse(rest);
                }
                if (arg == "--") {
                    trailing_ = true;
                    continue;
                }
                if (is_long(arg)) {
                    if (auto exit = long_flag(std::string_view(arg).substr(2), rest)) return std::move(*exit);
                    continue;
                }
                if (is_short(arg)) {
                    if (auto exit = short_flags(std::string_view(arg).substr(1))) return std::move(*exit);
                    continue;
                }
            }
            if (definition().positional != nullptr && !matches_.positional) {
                matches_.positional = arg;
                positional_checked_ = false;
                continue;
            }
            return word_error(arg);
        }
        if (auto invalid = resolve_positional()) return std::move(*invalid);
        // A subcommand is required; the only way to reach here without one
        // is a call that gave nothing the definition counts.
        if (!definition().subcommands().empty()) return help_for_missing_arguments(matches_.command);
        return std::move(matches_);
    }

private:
    const CommandDef& definition() const { return *matches_.command.definition; }

    EarlyExit error(const StyledText& message, const std::vector<StyledText>& tips = {}) const {
        return usage_error(matches_.command, message, tips);
    }

    // The positional value is checked when the next flag takes effect or at
    // the end; an error found on the way wins over it.
    std::optional<EarlyExit> resolve_positional() {
        if (!matches_.positional || positional_checked_) return std::nullopt;
        positional_checked_ = true;
        if (!is_valid_utf8(*matches_.positional)) return error(invalid_utf8_argument());
        return std::nullopt;
    }

    std::optional<EarlyExit> apply(const FlagDef& flag) {
        if (auto invalid = resolve_positional()) return invalid;
        if (flag.action == FlagAction::Help) return help_request(matches_.command);
        if (matches_.flag(flag.long_name)) return error(used_multiple_times("--" + std::string(flag.long_name)));
        matches_.flags.push_back(flag.long_name);
        return std::nullopt;
    }

    std::optional<EarlyExit> long_flag(std::string_view body, std::span<const std::string> rest) {
        const std::size_t equals = body.find('=');
        const std::string_view name = body.substr(0, equals);
        if (!is_valid_utf8(name)) return unknown_long(lossy_utf8(name), rest);
        const FlagDef* flag = definition().find_long(name);
        if (flag == nullptr) return unknown_long(std::string(name), rest);
        if (equals != std::string_view::npos) {
            return error(unexpected_value(lossy_utf8(body.substr(equals + 1)), "--" + std::string(name)));
        }
        return apply(*flag);
    }

    std::optional<EarlyExit> unknown_long(const std::string& name, std::span<const std::string> rest) const {
        const std::string typed = "--" + name;
        std::vector<StyledText> tips;
        if (auto own = similar_name(name, definition()); !own.empty()) {
            tips.push_back(similar_argument_tip("--" + own));
        } else if (auto [sub, flag] = similar_in_later_subcommand(name, rest); sub != nullptr) {
            tips.push_back(subcommand_flag_tip(sub->name, "--" + flag));
        } else if (definition().positional != nullptr && !trailing_) {
            tips.push_back(pass_as_value_tip(typed));
        }
        return error(unexpected_argument(typed), tips);
    }

    // The most similar long flag of `command`, or nothing.
    static std::string similar_name(std::string_view name, const CommandDef& command) {
        std::vector<std::string_view> longs;
        for (const FlagDef& flag : command.flags) longs.push_back(flag.long_name);
        std::vector<std::string> similar = similar_names(name, longs);
        return similar.empty() ? std::string() : similar.back();
    }

    // Among the subcommands named later on the line, the first one that has
    // a long flag similar to `name`.
    std::pair<const CommandDef*, std::string> similar_in_later_subcommand(std::string_view name,
                                                                           std::span<const std::string> rest) const {
        std::pair<const CommandDef*, std::string> best{nullptr, {}};
        std::size_t best_position = rest.size();
        for (const CommandDef& sub : definition().subcommands()) {
            std::string flag = similar_name(name, sub);
            if (flag.empty()) continue;
            const auto named = std::find(rest.begin(), rest.end(), sub.name);
            if (named == rest.end()) continue;
            const auto position = static_cast<std::size_t>(named - rest.begin());
            if (position < best_position) {
                best_position = position;
                best = {&sub, std::move(flag)};
            }
        }
        return best;
    }

    std::optional<EarlyExit> short_flags(std::string_view body) {
        const std::size_t valid = valid_utf8_prefix(body);
        for (std::string_view letter : characters(body.substr(0, valid))) {
            const FlagDef* flag = definition().find_short(letter);
            if (flag == nullptr) return unknown_short("-" + std::string(letter));
            if (auto exit = apply(*flag)) return exit;
        }
        if (valid < body.size()) return unknown_short("-" + lossy_utf8(body.substr(valid)));
        return std::nullopt;
    }

    EarlyExit unknown_short(const std::string& typed) const {
        std::vector<StyledText> tips;
        if (definition().positional != nullptr && !trailing_) tips.push_back(pass_as_value_tip(typed));
        return error(unexpected_argument(typed), tips);
    }

    // A word that the command has no place for.
    EarlyExit word_error(std::string_view word) const {
        const std::string typed = lossy_utf8(word);
        if (trailing_ && definition().find_subcommand(word) != nullptr) {
            return error(unexpected_argument(typed), {remove_double_dash_tip(typed)});
        }
        if (!definition().subcommands().empty()) {
            std::vector<std::string_view> names;
            for (const CommandDef& sub : definition().subcommands()) names.push_back(sub.name);
            const std::vector<std::string> similar = similar_names(typed, names);
            if (!similar.empty()) return error(unrecognized_subcommand(typed), {similar_subcommands_tip(similar)});
            if (definition().positional == nullptr) return error(unrecognized_subcommand(typed));
        }
        return error(unexpected_argument(typed));
    }

    // `help` followed by names: every further word names a subcommand.
    Result help_walk(std::span<const std::string> names) const {
        CommandAt current = matches_.command;
        for (const std::string& name : names) {
            const CommandDef* sub = current.definition->find_subcommand(name);
            if (sub == nullptr) return usage_error(current, unrecognized_subcommand(lossy_utf8(name)));
            current = current.subcommand(*sub);
        }
        return help_request(current);
    }

    Matches matches_;
    bool positional_checked_ = true;
    bool trailing_ = false;
};

}  // namespace

std::variant<Matches, EarlyExit> parse_command_line(const CommandDef& root, std::span<const std::string> args) {
    LevelParser parser(root_command_at(root, program_name(args)));
    return parser.parse(args.empty() ? args : args.subspan(1));
}

}  // namespace kelmora::cli
