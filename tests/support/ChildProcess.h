#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tkw::test {

// Starts a program in a child process with exactly the given environment, and optionally as
// another user; reads its standard error and a readiness line it may write to descriptor 3.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> arguments;  // program path first
        std::map<std::string, std::string> environment;
        std::optional<uid_t> runAsUser;  // needs root
        std::optional<gid_t> runAsGroup;
        bool withReadyPipe = false;  // the child gets descriptor 3 for its readiness line
        bool stdoutToo = false;      // standard output goes where standard error goes
    };

    explicit ChildProcess(const Options& options);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Blocks until the child writes a line to descriptor 3 or closes it (ends); the line without
    // its newline, or nothing when the child closed it first or `limit` passed.
    std::optional<std::string> WaitForReadyLine(
        std::chrono::seconds limit = std::chrono::seconds(60));

    // Blocks until the child's standard error (and output, with stdoutToo) holds `text`; false
    // when the child ends first.
    bool WaitForOutput(const std::string& text);

    void Signal(int signal);

    // Waits for the end; the exit code, or 128 + the signal number for a child killed by a signal.
    int Wait();

    // Everything the child wrote to its standard error; complete once Wait has returned.
    const std::string& StandardError() const { return m_stderr; }

    pid_t pid() const { return m_pid; }

private:
    // Appends what the child wrote next; false once the pipe is closed.
    bool ReadMoreOutput();

    pid_t m_pid = -1;
    int m_stderrFd = -1;
    int m_readyFd = -1;
    std::optional<int> m_exitCode;
    std::string m_stderr;
};

// The environment the tests give a started Tarnwick: nothing of the caller's but the sanitizer
// options, so a test never reads the developer's own settings or session.
std::map<std::string, std::string> IsolatedEnvironment(const std::filesystem::path& root);

}  // namespace tkw::test
