#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace tkw::test {
namespace {

std::vector<char*> PointersOf(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const Options& options) {
    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
    std::vector<std::string> arguments = options.arguments;
    std::vector<std::string> environment;
    for (const auto& [name, value] : options.environment) {
        environment.push_back(name + "=" + value);
    }
    if (options.withReadyPipe) {
        environment.push_back("TARNWICK_READY_FD=3");
    }
    std::vector<char*> argv = PointersOf(arguments);
    std::vector<char*> envp = PointersOf(environment);

    int errPipe[2];
    int readyPipe[2] = {-1, -1};
    if (::pipe2(errPipe, O_CLOEXEC) != 0 ||
        (options.withReadyPipe && ::pipe2(readyPipe, O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    m_pid = ::fork();
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (m_pid == 0) {
        ::dup2(errPipe[1], STDERR_FILENO);  // dup2 clears close-on-exec on the copy
        if (options.stdoutToo) {
            ::dup2(errPipe[1], STDOUT_FILENO);
        }
        if (options.withReadyPipe) {
            ::dup2(readyPipe[1], 3);
        }
        if (options.runAsGroup && ::setgid(*options.runAsGroup) != 0) {
            ::_exit(121);
        }
        if (options.runAsUser && ::setuid(*options.runAsUser) != 0) {
            ::_exit(122);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    m_stderrFd = errPipe[0];
    if (options.withReadyPipe) {
        ::close(readyPipe[1]);
        m_readyFd = readyPipe[0];
    }
}

ChildProcess::~ChildProcess() {
    if (!m_exitCode && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    for (int fd : {m_stderrFd, m_readyFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::optional<std::string> ChildProcess::WaitForReadyLine(std::chrono::seconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fds[2] = {{m_readyFd, POLLIN, 0}, {m_stderrFd, POLLIN, 0}};
        if (left.count() <= 0 || ::poll(fds, 2, static_cast<int>(left.count())) <= 0) {
            return std::nullopt;
        }
        if (fds[1].revents != 0) {
            ReadMoreOutput();  // keep the child from blocking on a full pipe
        }
        if (fds[0].revents == 0) {
            continue;
        }
        char c = 0;
        const ssize_t n = ::read(m_readyFd, &c, 1);
        if (n <= 0) {
            return std::nullopt;
        }
        if (c == '\n') {
            return line;
        }
        line.push_back(c);
    }
}

bool ChildProcess::WaitForOutput(const std::string& text) {
    while (m_stderr.find(text) == std::string::npos) {
        if (!ReadMoreOutput()) {
            return false;
        }
    }
    return true;
}

void ChildProcess::Signal(int signal) {
    ::kill(m_pid, signal);
}

bool ChildProcess::ReadMoreOutput() {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(m_stderrFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;  // the child closed it (ended), or the pipe failed
        }
        m_stderr.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
}

int ChildProcess::Wait() {
    if (m_exitCode) {
        return *m_exitCode;
    }
    // Read standard error to its end (the child closes it when it ends).
    while (ReadMoreOutput()) {
    }
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return *m_exitCode;
}

std::map<std::string, std::string> IsolatedEnvironment(const std::filesystem::path& root) {
    std::map<std::string, std::string> environment = {
        {"HOME", (root / "home").native()},
        {"XDG_CONFIG_HOME", (root / "config").native()},
        {"XDG_RUNTIME_DIR", (root / "runtime").native()},
        {"PATH", "/usr/bin:/bin"},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"TARNWICK_NO_MESSAGE_BOXES", "1"},
        {"TZ", "UTC"},
    };
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            environment[name] = value;
        }
    }
    return environment;
}

}  // namespace tkw::test
