// Runs the kelmora program as a real process: arguments, environment and
// standard streams as a test sets them up, output and status collected.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelmora::testing {

// How one standard descriptor of the child is set up.
enum class Descriptor {
    Pipe,         // stdin: fed from `stdin_data`; stdout, stderr: collected
    Closed,       // closed before the program starts
    BrokenPipe,   // stdout, stderr: a pipe whose reader has already gone
    Terminal,     // stdout, stderr: a pseudo-terminal (raw mode), collected
    Directory,    // stdin: a directory, which cannot be read
    Full,         // stdout, stderr: /dev/full, where every write fails
};

struct Invocation {
    std::vector<std::string> args;            // after the program name
    std::optional<std::string> argv0;         // default: the program's path
    std::vector<std::string> env;             // NAME=VALUE; nothing else is inherited
    std::string stdin_data;
    Descriptor in = Descriptor::Pipe;
    Descriptor out = Descriptor::Pipe;
    Descriptor err = Descriptor::Pipe;
};

struct Outcome {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or -1 when ended by a signal
    int signal = 0;
};

// The program under test (its path comes from the build).
const std::string& program_path();

Outcome run_program(const Invocation& invocation);

// `text` without its ANSI SGR sequences.
std::string strip_styling(const std::string& text);

}  // namespace kelmora::testing
