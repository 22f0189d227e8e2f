#include "SystemLog.h"

#include "Utf16.h"

#include <windows.h>

namespace platform {

void logToSystem(const std::string& text) noexcept
{
    try {
        // A program without a console has no standard error; one started
        // from a console or with its output redirected has.
        const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
        if (error && error != INVALID_HANDLE_VALUE) {
            const std::string line = "Dozozeda: " + text + "\r\n";
            DWORD written = 0;
            ::WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
        // Without a registered message file, Event Viewer shows the text
        // under a note that the source is unknown; the text itself is there.
        if (const HANDLE log = ::RegisterEventSourceW(nullptr, L"Dozozeda")) {
            const std::wstring message = widen(text);
            const wchar_t* strings[] = {message.c_str()};
            ::ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
            ::DeregisterEventSource(log);
        }
    } catch (...) {
        // Nobody is left to tell that the log could not be written either.
    }
}

} // namespace platform
