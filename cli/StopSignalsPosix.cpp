#include "StopSignals.h"

#include "Console.h"
#include "WrittenFiles.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <thread>

namespace cli {

namespace {

std::stop_source stopSource;
std::atomic<int> firstSignal{0};

sigset_t stopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

[[noreturn]] void dieBy(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);
}

// The signals are taken by this thread alone, with sigwait: a stop request
// may then do what a signal handler may not (take locks, wake threads).
void watch()
{
    const sigset_t set = stopSignalSet();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0)
            continue;
        int none = 0;
        if (!firstSignal.compare_exchange_strong(none, signal)) {
            writeErr(endedAtOnceMessage("a second signal"));
            dieBy(signal);
        }
        stopSource.request_stop();
    }
}

} // namespace

StopSignals::StopSignals()
{
    const sigset_t set = stopSignalSet();
    // Every thread started from here on inherits the blocked set.
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A reader that went away must not end the program before its copy is
    // removed; the failed write says so instead.
    std::signal(SIGPIPE, SIG_IGN);
    std::thread(watch).detach();
}

std::stop_token StopSignals::token() const
{
    return stopSource.get_token();
}

// Nothing waits here: a signal does not end the program by itself, the
// program ends when it is done.
void StopSignals::cleanedUp()
{
}

void StopSignals::endAsInterrupted()
{
    dieBy(firstSignal.load() != 0 ? firstSignal.load() : SIGINT);
}

int StopSignals::exitStatus() const
{
    return 128 + (firstSignal.load() != 0 ? firstSignal.load() : SIGINT);
}

} // namespace cli
