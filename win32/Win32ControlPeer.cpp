#include "Win32ControlPeer.h"

#include "Appearance.h"
#include "Text.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

namespace win32layer {

namespace {

[[noreturn]] void unsupported(HWND handle, const char* operation)
{
    wchar_t className[64] = {};
    ::GetClassNameW(handle, className, 64);
    throw std::logic_error("The " + toUtf8(className) + " control has no " + operation + ".");
}

std::wstring windowText(HWND handle)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(handle, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

Win32ControlPeer::Win32ControlPeer(HWND handle)
    : m_handle(handle)
{
}

std::string Win32ControlPeer::text() const
{
    return toUtf8(windowText(m_handle));
}

void Win32ControlPeer::setText(const std::string& text)
{
    ::SetWindowTextW(m_handle, toUtf16(text).c_str());
}

void Win32ControlPeer::appendText(std::string_view)
{
    unsupported(m_handle, "text to append to");
}

void Win32ControlPeer::setVisible(bool visible)
{
    ::ShowWindow(m_handle, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32ControlPeer::setEnabled(bool enabled)
{
    // A disabled control loses the focus to nobody, which leaves the keyboard
    // dead; the next control in tab order takes it instead, keeping whatever
    // is selected there.
    if (!enabled && ::GetFocus() == m_handle) {
        const HWND next = ::GetNextDlgTabItem(::GetParent(m_handle), m_handle, FALSE);
        if (next && next != m_handle)
            ::SetFocus(next);
    }
    ::EnableWindow(m_handle, enabled);
}

void Win32ControlPeer::setPicture(forms::PictureId)
{
    unsupported(m_handle, "picture");
}

int Win32ControlPeer::progressSteps() const
{
    unsupported(m_handle, "progress");
}

void Win32ControlPeer::setProgressStep(int)
{
    unsupported(m_handle, "progress");
}

void Win32ControlPeer::refresh()
{
    ::RedrawWindow(m_handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

namespace {

// Keeps the selection and the first visible line of an edit control across
// a change of its text, as far as the new text reaches. Meanwhile the box
// does not draw: without WS_VISIBLE, which is what WM_SETREDRAW clears on
// Windows, Wine's edit control skips repainting itself and its scroll bar at
// every change (6 ms a change there; WM_SETREDRAW itself does not stop it).
class KeptView {
public:
    explicit KeptView(HWND box)
        : m_box(box)
        , m_style(::GetWindowLongW(box, GWL_STYLE))
    {
        ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&m_start), reinterpret_cast<LPARAM>(&m_end));
        m_firstLine = static_cast<int>(::SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0));
        ::SetWindowLongW(box, GWL_STYLE, m_style & ~WS_VISIBLE);
    }
    KeptView(const KeptView&) = delete;
    KeptView& operator=(const KeptView&) = delete;

    ~KeptView()
    {
        const auto length = static_cast<DWORD>(::GetWindowTextLengthW(m_box));
        ::SendMessageW(m_box, EM_SETSEL, std::min(m_start, length), std::min(m_end, length));
        if (m_style & ES_MULTILINE) {
            const int now = static_cast<int>(::SendMessageW(m_box, EM_GETFIRSTVISIBLELINE, 0, 0));
            ::SendMessageW(m_box, EM_LINESCROLL, 0, m_firstLine - now);
        }
        ::SetWindowLongW(m_box, GWL_STYLE, m_style);
        ::RedrawWindow(m_box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }

private:
    HWND m_box;
    LONG m_style;
    DWORD m_start = 0;
    DWORD m_end = 0;
    int m_firstLine = 0;
};

} // namespace

void Win32TextBoxPeer::setText(const std::string& text)
{
    if (::GetWindowLongW(handle(), GWL_STYLE) & ES_MULTILINE) {
        const KeptView kept(handle());
        Win32ControlPeer::setText(text);
        return;
    }
    // A single line gets its caret after the new text, where typing goes on.
    Win32ControlPeer::setText(text);
    ::SendMessageW(handle(), EM_SETSEL, ::GetWindowTextLengthW(handle()), ::GetWindowTextLengthW(handle()));
}

void Win32TextBoxPeer::appendText(std::string_view text)
{
    const KeptView kept(handle());
    // Replacing an empty selection at the end touches only the new text;
    // WM_SETTEXT would copy and lay out everything the box holds.
    const int end = ::GetWindowTextLengthW(handle());
    ::SendMessageW(handle(), EM_SETSEL, end, end);
    ::SendMessageW(handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(toUtf16(text).c_str()));
}

void Win32ImagePeer::setPicture(forms::PictureId picture)
{
    ::SendMessageW(handle(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmapOf(picture)));
}

Win32ProgressPeer::Win32ProgressPeer(HWND handle, int widthInPixels)
    : Win32ControlPeer(handle)
    , m_steps(widthInPixels)
{
    ::SendMessageW(handle, PBM_SETRANGE32, 0, m_steps);
    ::SendMessageW(handle, PBM_SETPOS, 0, 0);
}

int Win32ProgressPeer::progressSteps() const
{
    return m_steps;
}

void Win32ProgressPeer::setProgressStep(int step)
{
    // Repaints at once, even while the click handler holds the event loop.
    ::SendMessageW(handle(), PBM_SETPOS, static_cast<WPARAM>(step), 0);
}

Win32MenuItemPeer::Win32MenuItemPeer(HWND window, HMENU menu, unsigned id)
    : Win32ControlPeer(window)
    , m_menu(menu)
    , m_id(id)
{
    wchar_t caption[256] = {};
    ::GetMenuStringW(menu, id, caption, 256, MF_BYCOMMAND);
    m_caption = caption;
}

std::string Win32MenuItemPeer::text() const
{
    return toUtf8(m_caption);
}

void Win32MenuItemPeer::setText(const std::string& text)
{
    m_caption = toUtf16(text);
    if (m_visible)
        ::ModifyMenuW(m_menu, m_id, MF_BYCOMMAND | MF_STRING | (m_enabled ? MF_ENABLED : MF_GRAYED), m_id,
                      m_caption.c_str());
    refresh();
}

// A menu entry cannot be hidden, only taken out of the bar and put back.
void Win32MenuItemPeer::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (visible)
        ::InsertMenuW(m_menu, 0, MF_BYPOSITION | MF_STRING | (m_enabled ? MF_ENABLED : MF_GRAYED), m_id,
                      m_caption.c_str());
    else
        ::RemoveMenu(m_menu, m_id, MF_BYCOMMAND);
    refresh();
}

void Win32MenuItemPeer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    ::EnableMenuItem(m_menu, m_id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    refresh();
}

void Win32MenuItemPeer::refresh()
{
    ::DrawMenuBar(handle());
}

} // namespace win32layer
