#include "Win32WindowPeer.h"

#include "Appearance.h"
#include "ResourceIds.h"
#include "SessionEnd.h"
#include "Text.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

namespace win32layer {

using forms::ControlKind;

namespace {

const wchar_t* const kWindowClass = L"DozozedaWindow";

// IsDialogMessage turns Enter and Escape into WM_COMMAND with IDOK (1) and
// IDCANCEL (2); no control may answer to those.
constexpr unsigned kFirstControlId = 100;

int systemColourIndex(forms::SystemColour colour)
{
    switch (colour) {
    case forms::SystemColour::InactiveCaption:
        return COLOR_INACTIVECAPTION;
    case forms::SystemColour::WindowBackground:
        return COLOR_WINDOW;
    case forms::SystemColour::Default:
        break;
    }
    return -1;
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    static const bool registered = [&] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(DOZOZEDA_ICON));
        windowClass.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(DOZOZEDA_ICON), IMAGE_ICON,
                                                              ::GetSystemMetrics(SM_CXSMICON),
                                                              ::GetSystemMetrics(SM_CYSMICON), 0));
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        if (!::RegisterClassExW(&windowClass))
            throw std::runtime_error("Cannot register the window class (error " + std::to_string(::GetLastError())
                                     + ").");
        return true;
    }();
    (void)registered;
}

// Moves the keyboard focus as the dialog manager does: an edit control that
// the focus reaches from elsewhere has its text selected.
void moveFocus(HWND to)
{
    if (!to)
        return;
    if (::SendMessageW(to, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        ::SendMessageW(to, EM_SETSEL, 0, -1);
    ::SetFocus(to);
}

} // namespace

struct WindowMessages {
    static LRESULT CALLBACK procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* peer = static_cast<Win32WindowPeer*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            peer->m_handle = handle;
            ::SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(peer));
        }
        auto* peer = reinterpret_cast<Win32WindowPeer*>(::GetWindowLongPtrW(handle, GWLP_USERDATA));
        LRESULT result = 0;
        if (peer && handled(*peer, message, wParam, lParam, result))
            return result;
        return ::DefWindowProcW(handle, message, wParam, lParam);
    }

    // A call into the window logic may unload the window and so delete the
    // peer: nothing here touches the peer after such a call.
    static bool handled(Win32WindowPeer& peer, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        switch (message) {
        case WM_CLOSE:
            // Never DefWindowProc's DestroyWindow: the logic decides, and
            // unloading destroys the window.
            peer.m_window.CloseRequested();
            return true;
        case WM_QUERYENDSESSION:
            result = TRUE;
            return true;
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns, so the
            // window unloads (and the test file goes) before that, and
            // nothing waits for a click on a message box meanwhile.
            if (wParam)
                forms::EndSession(peer.m_window);
            return true;
        case WM_COMMAND:
            command(peer, wParam, lParam);
            return true;
        case WM_ACTIVATE:
            activate(peer, LOWORD(wParam) != WA_INACTIVE);
            return true;
        case WM_NEXTDLGCTL: {
            // Sent by IsDialogMessage and by a multi-line edit on Tab; only
            // a dialog's own procedure would otherwise answer it.
            const HWND next = lParam ? reinterpret_cast<HWND>(wParam)
                                     : ::GetNextDlgTabItem(peer.m_handle, ::GetFocus(), wParam != 0);
            moveFocus(next);
            return true;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return colour(peer, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), result);
        default:
            return false;
        }
    }

    static void command(Win32WindowPeer& peer, WPARAM wParam, LPARAM lParam)
    {
        forms::Window& window = peer.m_window;
        if (lParam == 0) {
            if (HIWORD(wParam) != 0)
                return;
            const auto item = std::find_if(peer.m_controls.begin(), peer.m_controls.end(), [&](const auto& control) {
                return control.design->kind == ControlKind::MenuItem && control.id == LOWORD(wParam);
            });
            if (item != peer.m_controls.end()) {
                const std::string name = item->design->name;
                window.Clicked(name);
            }
            return;
        }
        if (HIWORD(wParam) != BN_CLICKED)
            return;
        const auto* control = peer.find(reinterpret_cast<HWND>(lParam));
        if (!control)
            return;
        if (control->design->kind == ControlKind::CommandButton) {
            const std::string name = control->design->name;
            window.Clicked(name);
        } else if (control->design->kind == ControlKind::OptionButton) {
            // A radio button also says BN_CLICKED when it gets the focus, and
            // when it is clicked while already selected; only a newly
            // selected option counts, as it does for the user.
            std::string chosen;
            for (auto& option : peer.m_controls) {
                if (option.design->kind != ControlKind::OptionButton)
                    continue;
                const bool selected = ::SendMessageW(option.peer->handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
                if (selected && !option.selected)
                    chosen = option.design->name;
                option.selected = selected;
            }
            if (!chosen.empty())
                window.Clicked(chosen);
        }
    }

    static void activate(Win32WindowPeer& peer, bool active)
    {
        if (!active) {
            const HWND focus = ::GetFocus();
            if (focus && ::IsChild(peer.m_handle, focus))
                peer.m_focus = focus;
            return;
        }
        HWND focus = peer.m_focus;
        if (!focus || !::IsChild(peer.m_handle, focus) || !::IsWindowVisible(focus) || !::IsWindowEnabled(focus))
            focus = peer.firstFocusable();
        ::SetFocus(focus ? focus : peer.m_handle);
    }

    static bool colour(Win32WindowPeer& peer, HDC dc, HWND control, LRESULT& result)
    {
        const auto* found = peer.find(control);
        if (!found)
            return false;
        const int background = systemColourIndex(found->design->background);
        const int foreground = systemColourIndex(found->design->foreground);
        if (background < 0 && foreground < 0)
            return false;
        const int fill = background >= 0 ? background : COLOR_WINDOW;
        ::SetTextColor(dc, ::GetSysColor(foreground >= 0 ? foreground : COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(fill));
        result = reinterpret_cast<LRESULT>(::GetSysColorBrush(fill));
        return true;
    }
};

Win32WindowPeer::Win32WindowPeer(forms::Window& window)
    : m_window(window)
{
    createWindow();
    const forms::WindowDesign& design = m_window.Design();
    // Frames first, so that they lie beneath nothing they hold; then the
    // rest in tab order, which Win32 takes from the creation order.
    std::vector<const forms::ControlDesign*> order;
    for (const forms::ControlDesign* control : forms::inTabOrder(design)) {
        if (control->kind == ControlKind::Frame)
            order.push_back(control);
    }
    for (const forms::ControlDesign* control : forms::inTabOrder(design)) {
        if (control->kind != ControlKind::Frame)
            order.push_back(control);
    }
    try {
        const forms::ControlDesign* previous = nullptr;
        for (const forms::ControlDesign* control : order) {
            // The dialog manager's arrow keys move within a group, which runs
            // from one WS_GROUP control to the next: the options of one frame.
            const bool startsGroup = control->kind != ControlKind::OptionButton || !previous
                || previous->kind != ControlKind::OptionButton || previous->container != control->container;
            createControl(*control, kFirstControlId + static_cast<unsigned>(m_controls.size()), startsGroup);
            previous = control;
        }
    } catch (...) {
        ::SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
        ::DestroyWindow(m_handle);
        throw;
    }
    m_focus = firstFocusable();
}

Win32WindowPeer::~Win32WindowPeer()
{
    // Messages sent while the window goes must not reach a peer being destroyed.
    ::SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
    ::DestroyWindow(m_handle);
}

void Win32WindowPeer::createWindow()
{
    const forms::WindowDesign& design = m_window.Design();
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerWindowClass(instance, &WindowMessages::procedure);

    const bool borderless = design.border == forms::BorderStyle::None;
    // No border and no title bar; a tool window stays out of the taskbar.
    const DWORD style = borderless ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = borderless ? WS_EX_TOOLWINDOW : 0;
    const HMENU menu = design.menuItem() ? ::CreateMenu() : nullptr;

    RECT frame{0, 0, toPixels(design.clientWidth), toPixels(design.clientHeight)};
    ::AdjustWindowRectEx(&frame, style, menu != nullptr, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const int left = workArea.left + (workArea.right - workArea.left - width) / 2;
    const int top = workArea.top + (workArea.bottom - workArea.top - height) / 2;

    ::CreateWindowExW(exStyle, kWindowClass, toUtf16(design.caption).c_str(), style, left, top, width, height,
                      nullptr, menu, instance, this);
    if (!m_handle)
        throw std::runtime_error("Cannot create the window " + design.name + " (error "
                                 + std::to_string(::GetLastError()) + ").");
}

void Win32WindowPeer::createControl(const forms::ControlDesign& design, unsigned id, bool startsGroup)
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (design.kind == ControlKind::MenuItem) {
        HMENU menu = ::GetMenu(m_handle);
        ::AppendMenuW(menu, MF_STRING, id, toUtf16(design.caption).c_str());
        ::DrawMenuBar(m_handle);
        m_controls.push_back({&design, id, std::make_unique<Win32MenuItemPeer>(m_handle, menu, id)});
        return;
    }

    const wchar_t* className = WC_BUTTONW;
    DWORD style = WS_CHILD | (design.visible ? WS_VISIBLE : 0) | (startsGroup ? WS_GROUP : 0);
    DWORD exStyle = 0;
    switch (design.kind) {
    case ControlKind::CommandButton:
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    case ControlKind::OptionButton:
        // Only the first option of a group is a tab stop; once one is
        // selected, the button control moves the tab stop to it.
        style |= BS_AUTORADIOBUTTON | (startsGroup ? WS_TABSTOP : 0);
        break;
    case ControlKind::Frame:
        style |= BS_GROUPBOX;
        break;
    case ControlKind::TextBox:
        className = WC_EDITW;
        style |= WS_TABSTOP
            | (design.multiLine ? ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL);
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Label:
        className = WC_STATICW;
        style |= SS_LEFT | SS_NOPREFIX;
        break;
    case ControlKind::Image:
        className = WC_STATICW;
        style |= SS_BITMAP;
        break;
    case ControlKind::ProgressBar:
        className = PROGRESS_CLASSW;
        break;
    case ControlKind::MenuItem:
        break;
    }

    const forms::Bounds bounds = forms::onClientArea(m_window.Design(), design);
    const int width = toPixels(bounds.width);
    const HWND control = ::CreateWindowExW(
        exStyle, className, design.kind == ControlKind::Image ? L"" : toUtf16(design.caption).c_str(), style,
        toPixels(bounds.left), toPixels(bounds.top), width, toPixels(bounds.height), m_handle,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
    if (!control)
        throw std::runtime_error("Cannot create the control " + design.name + " (error "
                                 + std::to_string(::GetLastError()) + ").");
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont()), FALSE);

    std::unique_ptr<Win32ControlPeer> peer;
    switch (design.kind) {
    case ControlKind::TextBox:
        // The default limit of 30,000 characters would cut a long report short.
        ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
        peer = std::make_unique<Win32TextBoxPeer>(control);
        break;
    case ControlKind::Image:
        peer = std::make_unique<Win32ImagePeer>(control);
        peer->setPicture(design.picture);
        break;
    case ControlKind::ProgressBar:
        peer = std::make_unique<Win32ProgressPeer>(control, width);
        break;
    default:
        peer = std::make_unique<Win32ControlPeer>(control);
        break;
    }
    m_controls.push_back({&design, id, std::move(peer)});
}

const Win32WindowPeer::Control* Win32WindowPeer::find(const std::string& name) const
{
    const auto found = std::find_if(m_controls.begin(), m_controls.end(),
                                    [&](const Control& control) { return control.design->name == name; });
    return found == m_controls.end() ? nullptr : &*found;
}

const Win32WindowPeer::Control* Win32WindowPeer::find(HWND handle) const
{
    const auto found = std::find_if(m_controls.begin(), m_controls.end(), [&](const Control& control) {
        return control.design->kind != ControlKind::MenuItem && control.peer->handle() == handle;
    });
    return found == m_controls.end() ? nullptr : &*found;
}

HWND Win32WindowPeer::firstFocusable() const
{
    for (const forms::ControlDesign* design : forms::inTabOrder(m_window.Design())) {
        if (!forms::takesFocus(design->kind))
            continue;
        const HWND control = find(design->name)->peer->handle();
        if (::IsWindowVisible(control) && ::IsWindowEnabled(control))
            return control;
    }
    return nullptr;
}

forms::ControlPeer& Win32WindowPeer::control(const std::string& name)
{
    const Control* found = find(name);
    if (!found)
        throw std::logic_error("The window " + m_window.Design().name + " has no control " + name + ".");
    return *found->peer;
}

HWND Win32WindowPeer::controlHandle(const std::string& name) const
{
    const Control* found = find(name);
    return found ? found->peer->handle() : nullptr;
}

unsigned Win32WindowPeer::commandId(const std::string& name) const
{
    const Control* found = find(name);
    return found ? found->id : 0;
}

std::string Win32WindowPeer::controlName(HWND handle) const
{
    const Control* found = handle ? find(handle) : nullptr;
    return found ? found->design->name : std::string();
}

void Win32WindowPeer::show()
{
    ::ShowWindow(m_handle, SW_SHOW);
    ::UpdateWindow(m_handle);
}

bool Win32WindowPeer::isShown() const
{
    return ::IsWindowVisible(m_handle) != FALSE;
}

void Win32WindowPeer::refresh()
{
    ::RedrawWindow(m_handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

} // namespace win32layer
