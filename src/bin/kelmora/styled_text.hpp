// Text of the help and usage-error messages, kept as runs of one style each
// so that the same text can be written plain or with terminal styling.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelmora::cli {

enum class Style : unsigned char {
    Plain,
    Heading,  // "Usage:", "Commands:", ...: bold, underlined
    Literal,  // names the user types: bold
    Error,    // "error:": bold red
    Invalid,  // the offending value: yellow
    Valid,    // "tip:" and suggested names: green
};

class StyledText {
public:
    StyledText& add(std::string_view text, Style style = Style::Plain);
    StyledText& add(const StyledText& other);

    // The characters alone, or with ANSI SGR sequences around styled runs.
    std::string render(bool styled) const;

private:
    struct Run {
        std::string text;
        Style style;
    };
    std::vector<Run> runs_;
};

}  // namespace kelmora::cli
