#include "styled_text.hpp"

namespace kelmora::cli {

namespace {

std::string_view opening(Style style) noexcept {
    switch (style) {
        case Style::Plain: return {};
        case Style::Heading: return "\x1b[1m\x1b[4m";
        case Style::Literal: return "\x1b[1m";
        case Style::Error: return "\x1b[1m\x1b[31m";
        case Style::Invalid: return "\x1b[33m";
        case Style::Valid: return "\x1b[32m";
    }
    return {};
}

constexpr std::string_view reset = "\x1b[0m";

}  // namespace

StyledText& StyledText::add(std::string_view text, Style style) {
    if (text.empty()) return *this;
    if (!runs_.empty() && runs_.back().style == style) {
        runs_.back().text += text;
    } else {
        runs_.push_back({std::string(text), style});
    }
    return *this;
}

StyledText& StyledText::add(const StyledText& other) {
    for (const Run& run : other.runs_) add(run.text, run.style);
    return *this;
}

std::string StyledText::render(bool styled) const {
    std::string out;
    for (const Run& run : runs_) {
        if (!styled || run.style == Style::Plain) {
            out += run.text;
        } else {
            out += opening(run.style);
            out += run.text;
            out += reset;
        }
    }
    return out;
}

}  // namespace kelmora::cli
