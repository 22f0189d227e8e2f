#include "TerminationSignals.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform {

#ifndef Q_OS_WIN
namespace {

// A signal handler may only do async-signal-safe things: it writes one byte
// into a socket that the event loop watches.
int signalSockets[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

} // namespace
#endif

TerminationSignals::TerminationSignals(std::function<void()> onTerminate, QObject* parent)
    : QObject(parent)
    , m_onTerminate(std::move(onTerminate))
{
#ifndef Q_OS_WIN
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::handle);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
#endif
}

TerminationSignals::~TerminationSignals()
{
#ifndef Q_OS_WIN
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    for (int& fd : signalSockets) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

void TerminationSignals::handle()
{
#ifndef Q_OS_WIN
    char byte;
    [[maybe_unused]] const auto read = ::read(signalSockets[1], &byte, 1);
#endif
    m_onTerminate();
}

} // namespace platform
