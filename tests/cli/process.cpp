#include "process.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace kelmora::testing {

const std::string& program_path() {
    static const std::string path = KELMORA_PROGRAM;
    return path;
}

namespace {

[[noreturn]] void fail(const char* what) { throw std::runtime_error(std::string(what) + ": " + std::strerror(errno)); }

struct Channel {
    int parent = -1;  // our end: written (stdin) or read (stdout, stderr)
    int child = -1;   // the child's end, or -1 when the descriptor is closed
};

Channel open_pipe(bool child_reads) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe");
    return child_reads ? Channel{fds[1], fds[0]} : Channel{fds[0], fds[1]};
}

Channel open_terminal() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) fail("posix_openpt");
    const char* name = ::ptsname(master);
    if (name == nullptr) fail("ptsname");
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) fail("open pts");
    termios mode{};
    if (::tcgetattr(slave, &mode) != 0) fail("tcgetattr");
    ::cfmakeraw(&mode);  // no "\n" to "\r\n" translation
    if (::tcsetattr(slave, TCSANOW, &mode) != 0) fail("tcsetattr");
    return {master, slave};
}

Channel make_channel(Descriptor kind, bool is_input) {
    switch (kind) {
        case Descriptor::Pipe: return open_pipe(is_input);
        case Descriptor::Closed: return {};
        case Descriptor::BrokenPipe: {
            Channel channel = open_pipe(false);
            ::close(channel.parent);
            channel.parent = -1;
            return channel;
        }
        case Descriptor::Terminal: return open_terminal();
        case Descriptor::Directory: {
            const int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) fail("open /");
            return {-1, fd};
        }
        case Descriptor::Full: {
            const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
            if (fd < 0) fail("open /dev/full");
            return {-1, fd};
        }
    }
    return {};
}

// Drains the child's output and feeds its input until every channel is done.
void exchange(Channel& in, Channel& out, Channel& err, const std::string& input, Outcome& outcome) {
    std::size_t fed = 0;
    if (in.parent >= 0) ::fcntl(in.parent, F_SETFL, O_NONBLOCK);
    if (in.parent >= 0 && input.empty()) {
        ::close(in.parent);
        in.parent = -1;
    }
    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        std::string* sinks[3] = {nullptr, nullptr, nullptr};
        int* owners[3] = {nullptr, nullptr, nullptr};
        if (in.parent >= 0) {
            fds[count] = {in.parent, POLLOUT, 0};
            owners[count++] = &in.parent;
        }
        if (out.parent >= 0) {
            fds[count] = {out.parent, POLLIN, 0};
            sinks[count] = &outcome.out;
            owners[count++] = &out.parent;
        }
        if (err.parent >= 0) {
            fds[count] = {err.parent, POLLIN, 0};
            sinks[count] = &outcome.err;
            owners[count++] = &err.parent;
        }
        if (count == 0) return;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            fail("poll");
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            int& fd = *owners[i];
            if (sinks[i] == nullptr) {
                const ssize_t n = ::write(fd, input.data() + fed, input.size() - fed);
                if (n > 0) fed += static_cast<std::size_t>(n);
                if ((n < 0 && errno != EAGAIN && errno != EINTR) || fed == input.size()) {
                    ::close(fd);
                    fd = -1;
                }
                continue;
            }
            char buffer[65536];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // A terminal's master reports EIO once the child has gone.
                ::close(fd);
                fd = -1;
            }
        }
    }
}

}  // namespace

Outcome run_program(const Invocation& invocation) {
    // A test process that ignores SIGPIPE would pass that on to the child.
    std::signal(SIGPIPE, SIG_IGN);

    Channel in = make_channel(invocation.in, true);
    Channel out = make_channel(invocation.out, false);
    Channel err = make_channel(invocation.err, false);

    std::vector<std::string> argv_text;
    if (invocation.argv0) argv_text.push_back(*invocation.argv0);
    else argv_text.push_back(program_path());
    argv_text.insert(argv_text.end(), invocation.args.begin(), invocation.args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text = invocation.env;
    std::vector<char*> envp;
    for (std::string& entry : env_text) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) fail("fork");
    if (pid == 0) {
        // The child: the three descriptors as asked, everything else closed
        // on exec (every descriptor made here is close-on-exec).
        const int ends[3] = {in.child, out.child, err.child};
        for (int fd = 0; fd < 3; ++fd) {
            if (ends[fd] >= 0) {
                if (ends[fd] == fd) ::fcntl(fd, F_SETFD, 0);
                else if (::dup2(ends[fd], fd) < 0) ::_exit(126);
            }
        }
        for (int fd = 0; fd < 3; ++fd) {
            if (ends[fd] < 0) ::close(fd);
        }
        ::signal(SIGPIPE, SIG_DFL);
        ::execve(program_path().c_str(), argv.data(), envp.data());
        ::_exit(127);
    }

    for (Channel* channel : {&in, &out, &err}) {
        if (channel->child >= 0) ::close(channel->child);
        channel->child = -1;
    }
    Outcome outcome;
    exchange(in, out, err, invocation.stdin_data, outcome);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) fail("waitpid");
    }
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

std::string strip_styling(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            std::size_t j = i + 2;
            while (j < text.size() && ((text[j] >= '0' && text[j] <= '9') || text[j] == ';')) ++j;
            if (j < text.size() && text[j] == 'm') {
                i = j;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace kelmora::testing
