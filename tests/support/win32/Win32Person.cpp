#include "Person.h"

#include "MessageBox.h"
#include "MessageLoop.h"
#include "Text.h"
#include "Win32WindowPeer.h"
#include "Win32WindowingLayer.h"

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

namespace testsupport {

namespace {

using win32layer::toUtf16;
using win32layer::toUtf8;

const win32layer::Win32WindowPeer& peerOf(const forms::Window& window)
{
    const auto* peer = dynamic_cast<const win32layer::Win32WindowPeer*>(window.Peer());
    if (!peer)
        throw std::logic_error("The window " + window.Design().name + " is not loaded.");
    return *peer;
}

HWND windowOf(const forms::Window& window)
{
    return peerOf(window).handle();
}

HWND controlOf(const forms::Window& window, const std::string& name)
{
    const HWND control = peerOf(window).controlHandle(name);
    if (!control)
        throw std::logic_error("The window " + window.Design().name + " has no control " + name + ".");
    return control;
}

std::string windowText(HWND handle)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(handle, text.data(), static_cast<int>(text.size()))));
    return toUtf8(text);
}

// One WM_CHAR per UTF-16 unit; a line break is the one Return a person
// presses, which a multi-line edit turns into CR LF.
void typeCharacters(HWND box, const std::string& text)
{
    wchar_t previous = 0;
    for (const wchar_t unit : toUtf16(text)) {
        if (!(unit == L'\n' && previous == L'\r'))
            ::SendMessageW(box, WM_CHAR, unit, 1);
        previous = unit;
    }
}

// Key messages as the keyboard driver makes them: repeat count 1, the scan
// code, and for a release the previous-state and transition bits.
LPARAM keyData(UINT virtualKey, bool release, bool alt = false)
{
    LPARAM data = 1 | static_cast<LPARAM>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    if (virtualKey == VK_HOME || virtualKey == VK_RIGHT || virtualKey == VK_DOWN)
        data |= LPARAM{1} << 24;
    if (alt)
        data |= LPARAM{1} << 29;
    if (release)
        data |= LPARAM{3} << 30;
    return data;
}

// Holds a modifier down in this thread's key state while a posted key is handled.
class HeldModifier {
public:
    explicit HeldModifier(UINT virtualKey)
        : m_key(virtualKey)
    {
        if (m_key)
            setState(0x80);
    }
    HeldModifier(const HeldModifier&) = delete;
    HeldModifier& operator=(const HeldModifier&) = delete;
    ~HeldModifier()
    {
        if (m_key)
            setState(0);
    }

private:
    void setState(BYTE state) const
    {
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[m_key] = state;
        ::SetKeyboardState(keys);
    }
    UINT m_key;
};

// A message box the thread shows, answered with OK from a thread timer that
// fires inside the box's own modal loop.
std::vector<SeenMessageBox>* answered = nullptr;

BOOL CALLBACK answerBox(HWND window, LPARAM)
{
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (std::wstring_view(className) != L"#32770" || !::IsWindowVisible(window) || !::IsWindowEnabled(window))
        return TRUE;
    SeenMessageBox box;
    box.title = windowText(window);
    // The prompt is the static with id 0xFFFF; the icon is a static showing
    // the system's shared error icon.
    box.prompt = windowText(::GetDlgItem(window, 0xFFFF));
    const auto errorIcon = reinterpret_cast<LRESULT>(::LoadIconW(nullptr, IDI_ERROR));
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ::IsWindowVisible(child)
            && ::SendMessageW(child, STM_GETICON, 0, 0) == errorIcon)
            box.criticalIcon = true;
    }
    answered->push_back(box);
    // Disabled at once, so the next tick does not see the closing box again.
    ::EnableWindow(window, FALSE);
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void CALLBACK lookForBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), answerBox, 0);
}

// Runs tasks posted from any thread on the thread that made it, whichever
// message loop is running there (the program's, a message box's).
class TaskWindow {
public:
    TaskWindow()
    {
        static const ATOM registered = [] {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = ::GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"DozozedaTestTasks";
            return ::RegisterClassExW(&windowClass);
        }();
        m_handle = ::CreateWindowExW(0, MAKEINTATOM(registered), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
    }
    TaskWindow(const TaskWindow&) = delete;
    TaskWindow& operator=(const TaskWindow&) = delete;
    ~TaskWindow() { ::DestroyWindow(m_handle); }

    void post(std::function<void()> task) const
    {
        auto* posted = new std::function<void()>(std::move(task));
        if (!::PostMessageW(m_handle, kRunTask, 0, reinterpret_cast<LPARAM>(posted)))
            delete posted;
    }

private:
    static constexpr UINT kRunTask = WM_APP;

    static LRESULT CALLBACK procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != kRunTask)
            return ::DefWindowProcW(handle, message, wParam, lParam);
        const std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
        (*task)();
        return 0;
    }

    HWND m_handle;
};

class Win32Person : public Person {
public:
    void click(const forms::Window& window, const std::string& control) override
    {
        // BM_CLICK presses and releases the mouse button on the control,
        // which takes the focus and notifies the window as a real click does.
        ::SendMessageW(controlOf(window, control), BM_CLICK, 0, 0);
        processEvents();
    }

    void chooseMenu(const forms::Window& window) override
    {
        const forms::ControlDesign* item = window.Design().menuItem();
        if (!item)
            throw std::logic_error("The window " + window.Design().name + " has no menu.");
        ::SendMessageW(windowOf(window), WM_COMMAND, MAKEWPARAM(peerOf(window).commandId(item->name), 0), 0);
        processEvents();
    }

    void type(const forms::Window& window, const std::string& box, const std::string& text) override
    {
        const HWND control = controlOf(window, box);
        ::SetFocus(control);
        ::SendMessageW(control, EM_SETSEL, 0, -1);
        ::SendMessageW(control, WM_CLEAR, 0, 0);
        typeCharacters(control, text);
        processEvents();
    }

    void typeMore(const forms::Window& window, const std::string& box, const std::string& text) override
    {
        const HWND control = controlOf(window, box);
        ::SetFocus(control);
        typeCharacters(control, text);
        processEvents();
    }

    void press(const forms::Window& window, Key key) override
    {
        UINT virtualKey = 0;
        UINT modifier = 0;
        switch (key) {
        case Key::Tab:
            virtualKey = VK_TAB;
            break;
        case Key::Space:
            virtualKey = VK_SPACE;
            break;
        case Key::Down:
            virtualKey = VK_DOWN;
            break;
        case Key::Right:
            virtualKey = VK_RIGHT;
            break;
        case Key::ShiftRight:
            virtualKey = VK_RIGHT;
            modifier = VK_SHIFT;
            break;
        case Key::CtrlHome:
            virtualKey = VK_HOME;
            modifier = VK_CONTROL;
            break;
        case Key::Return:
            virtualKey = VK_RETURN;
            break;
        }
        const HWND target = focusIn(window);
        const HeldModifier held(modifier);
        // Through the queue and the program's own loop, so that the dialog
        // manager decides what Tab and the arrows do, and TranslateMessage
        // makes the characters.
        ::PostMessageW(target, WM_KEYDOWN, virtualKey, keyData(virtualKey, false));
        ::PostMessageW(target, WM_KEYUP, virtualKey, keyData(virtualKey, true));
        processEvents();
    }

    void pressAltF4(const forms::Window& window) override
    {
        ::PostMessageW(focusIn(window), WM_SYSKEYDOWN, VK_F4, keyData(VK_F4, false, true));
        processEvents();
    }

    void closeWindow(const forms::Window& window) override
    {
        ::PostMessageW(windowOf(window), WM_SYSCOMMAND, SC_CLOSE, 0);
        processEvents();
    }

    void processEvents() override
    {
        win32layer::processPendingMessages();
    }

    void post(std::function<void()> task) override
    {
        m_tasks.post(std::move(task));
    }

    std::string read(const forms::Window& window, const std::string& control) const override
    {
        return windowText(controlOf(window, control));
    }

    std::string caption(const forms::Window& window) const override
    {
        return windowText(windowOf(window));
    }

    bool isShown(const forms::Window& window, const std::string& control) const override
    {
        // The control's own flag: a control of a hidden window still counts.
        return (::GetWindowLongW(controlOf(window, control), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    bool isEnabled(const forms::Window& window, const std::string& control) const override
    {
        const forms::ControlDesign* design = window.Design().find(control);
        if (design && design->kind == forms::ControlKind::MenuItem) {
            const UINT state = ::GetMenuState(::GetMenu(windowOf(window)), peerOf(window).commandId(control),
                                              MF_BYCOMMAND);
            return !(state & (MF_GRAYED | MF_DISABLED));
        }
        return ::IsWindowEnabled(controlOf(window, control)) != FALSE;
    }

    bool isSelected(const forms::Window& window, const std::string& option) const override
    {
        return ::SendMessageW(controlOf(window, option), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    bool isWindowShown(const forms::Window& window) const override
    {
        return window.Loaded() && ::IsWindowVisible(windowOf(window));
    }

    std::string focused(const forms::Window& window) const override
    {
        if (!window.Loaded())
            return {};
        activated(window);
        return peerOf(window).controlName(::GetFocus());
    }

    std::optional<Rgb> pictureColour(const forms::Window& window, const std::string& image) const override
    {
        const auto bitmap = reinterpret_cast<HBITMAP>(
            ::SendMessageW(controlOf(window, image), STM_GETIMAGE, IMAGE_BITMAP, 0));
        if (!bitmap)
            return std::nullopt;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        const HDC screen = ::GetDC(nullptr);
        ::GetDIBits(screen, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS);
        const LONG width = info.bmiHeader.biWidth;
        const LONG height = info.bmiHeader.biHeight;
        // Top-down rows of 32-bit pixels: the first one read is the top-left.
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        std::vector<RGBQUAD> pixels(static_cast<std::size_t>(width));
        const int rows = ::GetDIBits(screen, bitmap, 0, 1, pixels.data(), &info, DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, screen);
        if (rows != 1 || pixels.empty())
            return std::nullopt;
        return Rgb{pixels[0].rgbRed, pixels[0].rgbGreen, pixels[0].rgbBlue};
    }

    double barFilled(const forms::Window& window, const std::string& bar) const override
    {
        const HWND control = controlOf(window, bar);
        const auto low = static_cast<double>(::SendMessageW(control, PBM_GETRANGE, TRUE, 0));
        const auto high = static_cast<double>(::SendMessageW(control, PBM_GETRANGE, FALSE, 0));
        const auto position = static_cast<double>(::SendMessageW(control, PBM_GETPOS, 0, 0));
        return high > low ? (position - low) / (high - low) : 0.0;
    }

    Size clientSize(const forms::Window& window) const override
    {
        RECT client{};
        ::GetClientRect(windowOf(window), &client);
        const HDC screen = ::GetDC(nullptr);
        const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        return {::MulDiv(client.right, 96, dpi), ::MulDiv(client.bottom, 96, dpi)};
    }

    int selectionStart(const forms::Window& window, const std::string& box) const override
    {
        DWORD start = 0;
        ::SendMessageW(controlOf(window, box), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        return static_cast<int>(start);
    }

    std::string selectedText(const forms::Window& window, const std::string& box) const override
    {
        const HWND control = controlOf(window, box);
        DWORD start = 0;
        DWORD end = 0;
        ::SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
        return toUtf8(std::wstring_view(text).substr(start, end - start));
    }

    int firstVisibleLine(const forms::Window& window, const std::string& box) const override
    {
        return static_cast<int>(::SendMessageW(controlOf(window, box), EM_GETFIRSTVISIBLELINE, 0, 0));
    }

    void scrollPageDown(const forms::Window& window, const std::string& box) override
    {
        ::SendMessageW(controlOf(window, box), WM_VSCROLL, SB_PAGEDOWN, 0);
        processEvents();
    }

    std::vector<SeenMessageBox> answeringMessageBoxes(const std::function<void()>& action) override
    {
        std::vector<SeenMessageBox> seen;
        answered = &seen;
        forms::MessageBoxHandler recording = forms::setMessageBoxHandler(nullptr);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, lookForBoxes);
        struct Restore {
            UINT_PTR timer;
            forms::MessageBoxHandler& handler;
            ~Restore()
            {
                ::KillTimer(nullptr, timer);
                forms::setMessageBoxHandler(std::move(handler));
                answered = nullptr;
            }
        } restore{timer, recording};
        action();
        return seen;
    }

private:
    TaskWindow m_tasks;

    // Only the active window has the keyboard focus; activating a window
    // gives the focus back to the control that last had it.
    static HWND activated(const forms::Window& window)
    {
        const HWND handle = windowOf(window);
        if (::GetActiveWindow() != handle)
            ::SetActiveWindow(handle);
        return handle;
    }

    // Keys go to the focused control, or to the window when none has the focus.
    static HWND focusIn(const forms::Window& window)
    {
        const HWND handle = activated(window);
        const HWND focus = ::GetFocus();
        return focus && ::GetAncestor(focus, GA_ROOT) == handle ? focus : handle;
    }
};

} // namespace

std::unique_ptr<Person> makePerson()
{
    return std::make_unique<Win32Person>();
}

void useUsNumberFormat()
{
    dynamic_cast<win32layer::Win32WindowingLayer&>(forms::layer()).useNumberLocale("en-US");
}

} // namespace testsupport
