#include "case_table.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace kelmora::testing {

namespace {

std::string unescape(const std::string& text, const std::string& where) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) throw std::runtime_error(where + ": lone backslash");
        switch (text[i]) {
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case 'r': out.push_back('\r'); break;
            case 'e': out.push_back('\x1b'); break;
            case '\\': out.push_back('\\'); break;
            case 'x':
                if (i + 2 >= text.size()) throw std::runtime_error(where + ": short \\x");
                out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
                i += 2;
                break;
            default: throw std::runtime_error(where + ": unknown escape");
        }
    }
    return out;
}

// "word rest": the word and the rest after one blank ("" when absent).
std::pair<std::string, std::string> split_entry(const std::string& line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) return {line, ""};
    return {line.substr(0, blank), line.substr(blank + 1)};
}

void load_file(const std::filesystem::path& path, std::vector<Case>& cases) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    const std::string file = path.filename().string();
    std::string line;
    int number = 0;
    std::string* block = nullptr;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = file + ":" + std::to_string(number);
        if (block != nullptr && !line.empty() && line[0] == '|') {
            if (line.size() > 1 && line[1] != ' ') throw std::runtime_error(where + ": '|' must be followed by a blank");
            *block += line.size() > 1 ? line.substr(2) : std::string();
            *block += '\n';
            continue;
        }
        block = nullptr;
        if (line.empty() || line[0] == '#') continue;
        if (line.starts_with("== ")) {
            Case started;
            started.file = file;
            started.line = number;
            started.name = line.substr(3);
            cases.push_back(std::move(started));
            continue;
        }
        if (cases.empty() || cases.back().file != file) throw std::runtime_error(where + ": entry before any case");
        Case& current = cases.back();
        const auto [word, rest] = split_entry(line);
        if (word == "arg") {
            current.args.push_back(unescape(rest, where));
        } else if (word == "argv0") {
            current.argv0 = unescape(rest, where);
        } else if (word == "env") {
            current.env.push_back(rest);
        } else if (word == "stdin") {
            current.stdin_data = unescape(rest, where);
        } else if (word == "status") {
            current.status = std::stoi(rest);
        } else if (word == "styled") {
            if (rest != "stdout" && rest != "stderr") throw std::runtime_error(where + ": styled stdout or stderr");
            current.styled = rest;
        } else if (word == "stdout") {
            block = &current.out;
        } else if (word == "stderr") {
            block = &current.err;
        } else {
            throw std::runtime_error(where + ": unknown entry '" + word + "'");
        }
    }
}

}  // namespace

void PrintTo(const Case& c, std::ostream* out) { *out << c.file << ":" << c.line << ": " << c.name; }

std::vector<Case> load_cases(const std::string& directory) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.path().extension() == ".cases") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Case> cases;
    for (const auto& path : files) load_file(path, cases);
    return cases;
}

}  // namespace kelmora::testing
