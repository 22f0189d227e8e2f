#include "StopSignals.h"

#include "Console.h"
#include "WrittenFiles.h"

#include <windows.h>

#include <atomic>

namespace cli {

namespace {

// Longer than Windows waits before it ends a console program that is being
// closed (5 s), so the wait ends with the clean-up or with the program.
constexpr DWORD kCloseWaitMs = 10000;

std::stop_source stopSource;
std::atomic<bool> requested{false};
HANDLE cleanedUpEvent = nullptr;

// Runs on a thread of its own that Windows starts for each event.
BOOL WINAPI onControl(DWORD event)
{
    if (requested.exchange(true) && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)) {
        writeErr(endedAtOnceMessage("a second Ctrl+C"));
        ::ExitProcess(130);
    }
    stopSource.request_stop();
    // For a close, a log-off or a shut-down the program ends as soon as this
    // returns, so it waits for the clean-up first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(cleanedUpEvent, kCloseWaitMs);
    return TRUE;
}

} // namespace

StopSignals::StopSignals()
{
    cleanedUpEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(onControl, TRUE);
}

std::stop_token StopSignals::token() const
{
    return stopSource.get_token();
}

void StopSignals::cleanedUp()
{
    ::SetEvent(cleanedUpEvent);
}

void StopSignals::endAsInterrupted()
{
    ::ExitProcess(130);
}

int StopSignals::exitStatus() const
{
    return 130;
}

} // namespace cli
