#include "platform/closesignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnel {
namespace {

// The write end of the pipe, for the signal handler: the one place where process-wide state cannot
// be avoided, since a handler receives nothing but the signal number.
volatile sig_atomic_t g_writeFd = -1;

extern "C" void OnCloseSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    if (g_writeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

CloseSignals::CloseSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    g_writeFd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CloseSignals::Drain);
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(s, &action, nullptr);
}

CloseSignals::~CloseSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(s, &action, nullptr);
    g_writeFd = -1;
    for (int& fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void CloseSignals::Drain() {
    char buffer[64];
    bool any = false;
    while (::read(m_fds[1], buffer, sizeof buffer) > 0)
        any = true;
    if (any)
        Q_EMIT Requested();
}

} // namespace varnel
