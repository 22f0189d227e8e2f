#include "Console.h"

#include "PlatformError.h"
#include "Utf16.h"

#include <windows.h>

namespace cli {

namespace {

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

bool writeAll(DWORD which, std::string_view text)
{
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    if (isConsole(handle)) {
        const std::wstring wide = platform::widen(std::string(text));
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            const auto count = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
            if (!::WriteConsoleW(handle, wide.data() + done, count, &written, nullptr) || written == 0)
                return false;
            done += written;
        }
        return true;
    }
    while (!text.empty()) {
        DWORD written = 0;
        const auto count = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        if (!::WriteFile(handle, text.data(), count, &written, nullptr) || written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

} // namespace

void writeOut(std::string_view text)
{
    if (!writeAll(STD_OUTPUT_HANDLE, text))
        throw platform::Error("Cannot write to standard output: " + platform::lastSystemErrorText());
}

void writeErr(std::string_view text) noexcept
{
    writeAll(STD_ERROR_HANDLE, text);
}

// Not _isatty: that is also true for NUL, which only is a character device.
bool errorIsTerminal()
{
    return isConsole(::GetStdHandle(STD_ERROR_HANDLE));
}

} // namespace cli
