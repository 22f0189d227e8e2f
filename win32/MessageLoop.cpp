#include "MessageLoop.h"

#include <windows.h>

namespace win32layer {

namespace {

// In a window run by the dialog manager, a multi-line edit control closes
// the window on Escape; no other control does, and no other platform.
bool isEscapeInMultiLineEdit(const MSG& message)
{
    if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE || !message.hwnd)
        return false;
    wchar_t className[8] = {};
    ::GetClassNameW(message.hwnd, className, 8);
    return ::lstrcmpiW(className, L"Edit") == 0 && (::GetWindowLongW(message.hwnd, GWL_STYLE) & ES_MULTILINE);
}

} // namespace

void dispatch(MSG& message)
{
    if (isEscapeInMultiLineEdit(message))
        return;
    const HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && ::IsDialogMessageW(root, &message))
        return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

bool processPendingMessages()
{
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        dispatch(message);
    }
    return true;
}

int runMessageLoop()
{
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        dispatch(message);
    return static_cast<int>(message.wParam);
}

} // namespace win32layer
