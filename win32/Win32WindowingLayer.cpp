#include "Win32WindowingLayer.h"

#include "MessageBox.h"
#include "MessageLoop.h"
#include "NumberFormat.h"
#include "Text.h"
#include "Win32WindowPeer.h"

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <utility>

namespace win32layer {

Win32WindowingLayer::Win32WindowingLayer()
    : m_wakeEvent(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    if (!m_wakeEvent)
        throw std::runtime_error("Cannot create an event (error " + std::to_string(::GetLastError()) + ").");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
}

Win32WindowingLayer::~Win32WindowingLayer()
{
    ::CloseHandle(m_wakeEvent);
}

std::unique_ptr<forms::WindowPeer> Win32WindowingLayer::createPeer(forms::Window& window)
{
    return std::make_unique<Win32WindowPeer>(window);
}

void Win32WindowingLayer::showMessageBox(const std::string& prompt, int style, const std::string& title)
{
    // No owner, and modal for the whole thread: the window that asked may be
    // unloaded while the box is open (the session ending).
    const UINT icon = style == forms::vbCritical ? MB_ICONERROR : 0;
    ::MessageBoxW(nullptr, toUtf16(prompt).c_str(), toUtf16(title).c_str(), MB_OK | MB_TASKMODAL | icon);
}

std::string Win32WindowingLayer::formatNumber(double value, int decimals) const
{
    return win32layer::formatNumber(value, decimals, m_numberLocale);
}

void Win32WindowingLayer::useNumberLocale(std::string localeName)
{
    m_numberLocale = std::move(localeName);
}

bool Win32WindowingLayer::processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                                             const std::function<void()>& everyTick)
{
    const auto interval = static_cast<DWORD>(tick.count() > 0 ? tick.count() : 1);
    ULONGLONG nextTick = ::GetTickCount64() + interval;
    while (!done()) {
        const ULONGLONG now = ::GetTickCount64();
        const auto wait = static_cast<DWORD>(nextTick > now ? nextTick - now : 0);
        ::MsgWaitForMultipleObjectsEx(1, &m_wakeEvent, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        // Told to quit; WM_QUIT stays queued for the main loop.
        if (!processPendingMessages())
            return false;
        if (::GetTickCount64() >= nextTick) {
            if (everyTick)
                everyTick();
            nextTick = ::GetTickCount64() + interval;
        }
    }
    return true;
}

void Win32WindowingLayer::wake()
{
    ::SetEvent(m_wakeEvent);
}

void Win32WindowingLayer::endProgram(int status)
{
    ::PostQuitMessage(status);
}

void Win32WindowingLayer::dismissMessageBoxes()
{
    // A message box is a dialog of the system's class on this thread; its
    // OK ends it as a click would.
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            wchar_t className[8] = {};
            ::GetClassNameW(window, className, 8);
            if (::lstrcmpW(className, L"#32770") == 0)
                ::PostMessageW(window, WM_COMMAND, IDOK, 0);
            return TRUE;
        },
        0);
}

} // namespace win32layer
