// The tables of command lines under cases/: each case gives the arguments,
// environment and standard input of one run and the exact standard output,
// standard error and exit status expected.
//
// A case starts with "== name". Then, one per line:
//   arg TEXT         one argument (escapes: \n \t \r \e \\ \xHH); "arg" alone: empty
//   argv0 TEXT       the program name the run is started with
//   env NAME=VALUE   an environment variable (nothing else is inherited)
//   stdin TEXT       standard input (same escapes)
//   status N         the exit status
//   styled STREAM    stdout or stderr carries a help text or usage error
//   stdout / stderr  followed by lines "| text" ("|" alone: an empty line),
//                    each ending with a line break
// Lines starting with "#" and blank lines between entries are ignored.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelmora::testing {

struct Case {
    std::string file;
    int line = 0;
    std::string name;
    std::vector<std::string> args;
    std::optional<std::string> argv0;
    std::vector<std::string> env;
    std::string stdin_data;
    std::string out;
    std::string err;
    int status = 0;
    std::optional<std::string> styled;  // "stdout" or "stderr"
};

// Names the case in test output.
void PrintTo(const Case& c, std::ostream* out);

// Every case of every *.cases file in `directory`, in file-name order.
std::vector<Case> load_cases(const std::string& directory);

}  // namespace kelmora::testing
