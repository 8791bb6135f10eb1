#include "app/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace tkw {
namespace {

// The handler may only do async-signal-safe work: it writes one byte to a socket that the event
// loop watches.
int g_signalSockets[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_signalSockets[0], &byte, 1);
}

}  // namespace

CTerminationSignals::CTerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSockets) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignals::OnSignalByte);

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

CTerminationSignals::~CTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    for (int& fd : g_signalSockets) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void CTerminationSignals::OnSignalByte() {
    char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::read(g_signalSockets[1], &byte, 1);
    emit terminationRequested();
}

}  // namespace tkw
