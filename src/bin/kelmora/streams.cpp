#include "streams.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "kelmora/internal_error.hpp"
#include "utf8.hpp"

namespace kelmora::cli {

namespace {

int descriptor(Stream stream) noexcept { return stream == Stream::Stdout ? STDOUT_FILENO : STDERR_FILENO; }

// What a failed write reports: the system's text and number, or a write
// that made no progress.
struct WriteFailure {
    int error_number = 0;  // 0: the write returned zero bytes
};

std::optional<WriteFailure> write_all(int fd, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return WriteFailure{errno};
        }
        if (written == 0) return WriteFailure{0};
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return std::nullopt;
}

std::string failure_text(const WriteFailure& failure) {
    if (failure.error_number == 0) return "failed to write whole buffer";
    return std::string(std::strerror(failure.error_number)) + " (os error " + std::to_string(failure.error_number) +
           ")";
}

bool variable_set(const char* name) noexcept { return std::getenv(name) != nullptr; }

bool variable_non_empty(const char* name) noexcept {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool variable_is(const char* name, std::string_view expected) noexcept {
    const char* value = std::getenv(name);
    return value != nullptr && value == expected;
}

}  // namespace

void prepare_standard_streams() noexcept {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is `fd` itself, as the ones below it are open.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

std::optional<std::string> read_standard_input() {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    if (!is_valid_utf8(text)) return std::nullopt;
    return text;
}

void print_line(Stream stream, std::string_view text, std::source_location where) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text).push_back('\n');
    if (const auto failure = write_all(descriptor(stream), line)) {
        const std::string_view name = stream == Stream::Stdout ? "stdout" : "stderr";
        internal_error("failed printing to " + std::string(name) + ": " + failure_text(*failure), where);
    }
}

void write_ignoring_failure(Stream stream, std::string_view text) noexcept {
    static_cast<void>(write_all(descriptor(stream), text));
}

bool styling_enabled(Stream stream) noexcept {
    if (variable_non_empty("NO_COLOR")) return false;
    if (variable_non_empty("CLICOLOR_FORCE")) return true;
    if (variable_is("CLICOLOR", "0")) return false;
    if (::isatty(descriptor(stream)) != 1) return false;
    if (variable_set("TERM") && !variable_is("TERM", "dumb")) return true;
    if (variable_set("CLICOLOR")) return true;
    return variable_set("CI");
}

}  // namespace kelmora::cli
