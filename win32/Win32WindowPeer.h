#pragma once

#include "Win32ControlPeer.h"
#include "Window.h"
#include "WindowPeer.h"

#include <memory>
#include <string>
#include <vector>

struct HWND__;

namespace win32layer {

// A window built with standard Win32 controls from its design: a borderless
// popup with a menu bar that stays out of the taskbar, or a fixed-size window
// with a title bar and close box. Creation order is both z-order and tab
// order in Win32, so a frame comes first and the other controls follow in tab
// order; a frame's controls are its siblings, placed at its offset, so that
// their notifications reach the window. Every way of closing the window (close
// box, Alt+F4, the taskbar, the session ending) goes to the window logic,
// which unloads it; unloading destroys the window with its controls.
class Win32WindowPeer : public forms::WindowPeer {
public:
    explicit Win32WindowPeer(forms::Window& window);
    Win32WindowPeer(const Win32WindowPeer&) = delete;
    Win32WindowPeer& operator=(const Win32WindowPeer&) = delete;
    ~Win32WindowPeer() override;

    forms::ControlPeer& control(const std::string& name) override;
    void show() override;
    bool isShown() const override;
    void refresh() override;

    HWND__* handle() const { return m_handle; }
    // The control's window, or the window's own for its menu entry.
    HWND__* controlHandle(const std::string& name) const;
    // The command id that WM_COMMAND carries for the control or menu entry.
    unsigned commandId(const std::string& name) const;
    // The name of the control with that window; empty for none of them.
    std::string controlName(HWND__* handle) const;

private:
    friend struct WindowMessages;

    struct Control {
        const forms::ControlDesign* design;
        unsigned id;
        std::unique_ptr<Win32ControlPeer> peer;
        // An option is reported to the window logic when it becomes selected.
        bool selected = false;
    };

    void createWindow();
    void createControl(const forms::ControlDesign& design, unsigned id, bool startsGroup);
    const Control* find(const std::string& name) const;
    const Control* find(HWND__* handle) const;
    HWND__* firstFocusable() const;

    forms::Window& m_window;
    HWND__* m_handle = nullptr;
    std::vector<Control> m_controls;
    // Where the focus returns when the window is activated again.
    HWND__* m_focus = nullptr;
};

} // namespace win32layer
