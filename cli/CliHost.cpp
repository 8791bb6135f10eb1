#include "cli/CliHost.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace tkw {
namespace {

volatile std::sig_atomic_t g_cancelRequested = 0;

void OnCancelSignal(int signal) {
    if (g_cancelRequested != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_cancelRequested = 1;
}

std::size_t TerminalWidth() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

}  // namespace

CCliHost::CCliHost() : m_terminal(::isatty(STDERR_FILENO) != 0) {}

void CCliHost::InstallCancelSignals() {
    struct sigaction action {};
    action.sa_handler = OnCancelSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool CCliHost::CancelRequested() {
    return g_cancelRequested != 0;
}

std::string ElideMiddle(std::string_view text, std::size_t width) {
    if (text.size() <= width) {
        return std::string(text);
    }
    if (width <= 3) {
        return std::string(width, '.');
    }
    const std::size_t keep = width - 3;
    return std::string(text.substr(0, keep - keep / 2)) + "..." +
           std::string(text.substr(text.size() - keep / 2));
}

void CCliHost::OpenProgress(std::string_view, int) {
    m_lineShown = false;
}

void CCliHost::CloseProgress() {
    if (m_lineShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_lineShown = false;
    }
}

void CCliHost::SetProgressLine(std::string_view text) {
    if (!m_terminal) {
        return;
    }
    const std::string line = ElideMiddle(text, TerminalWidth() - 1);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    m_lineShown = true;
}

IEngineHost::Answer CCliHost::ShowMessage(std::string_view text, Icon, Buttons buttons) {
    CloseProgress();
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    // Nobody is asked: a question is answered the cautious way.
    switch (buttons) {
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
        case Buttons::YesNoCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::AbortRetryIgnore:
            return Answer::Abort;
        case Buttons::Ok:
            return Answer::Ok;
    }
    return Answer::Ok;
}

void CCliHost::ShowStatus(std::string_view caption, std::string_view text) {
    CloseProgress();
    std::printf("%.*s\n%.*s\n", static_cast<int>(caption.size()), caption.data(),
                static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

}  // namespace tkw
