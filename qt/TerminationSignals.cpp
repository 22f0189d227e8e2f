#include "TerminationSignals.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace qtlayer {

#ifndef Q_OS_WIN
namespace {

// A signal handler may only do async-signal-safe things: it writes one byte
// into a socket that the event loop watches.
int signalSockets[2] = {-1, -1};

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: while a copy holds the user-interface thread nobody reads
    // the socket, and a handler stuck on a full buffer would hang the program.
    // One pending byte is enough to close the window.
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
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
    ::fcntl(signalSockets[0], F_SETFL, ::fcntl(signalSockets[0], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::handle);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A second signal takes the default action: someone who asks twice wants
    // the program gone even while a copy to a dead share holds it.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    // SIGHUP: the terminal that started the program was closed.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
#endif
}

TerminationSignals::~TerminationSignals()
{
#ifndef Q_OS_WIN
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
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

} // namespace qtlayer
