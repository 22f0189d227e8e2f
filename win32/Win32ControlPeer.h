#pragma once

#include "WindowPeer.h"

#include <string>
#include <string_view>

struct HWND__;
struct HMENU__;

namespace win32layer {

// A control built from its design as a standard Win32 control. Win32 text
// already uses CR LF, so text crosses unchanged apart from UTF-8 and UTF-16.
class Win32ControlPeer : public forms::ControlPeer {
public:
    explicit Win32ControlPeer(HWND__* handle);

    HWND__* handle() const { return m_handle; }

    std::string text() const override;
    void setText(const std::string& text) override;
    void appendText(std::string_view text) override;
    void setVisible(bool visible) override;
    void setEnabled(bool enabled) override;
    void setPicture(forms::PictureId picture) override;
    int progressSteps() const override;
    void setProgressStep(int step) override;
    void refresh() override;

private:
    HWND__* m_handle;
};

// An EDIT control, on one line or several.
class Win32TextBoxPeer : public Win32ControlPeer {
public:
    using Win32ControlPeer::Win32ControlPeer;
    void setText(const std::string& text) override;
    void appendText(std::string_view text) override;
};

// A STATIC control that shows a bitmap.
class Win32ImagePeer : public Win32ControlPeer {
public:
    using Win32ControlPeer::Win32ControlPeer;
    void setPicture(forms::PictureId picture) override;
};

// Tells apart one position per pixel of its width, so that the bar is
// repainted exactly when it would look different.
class Win32ProgressPeer : public Win32ControlPeer {
public:
    Win32ProgressPeer(HWND__* handle, int widthInPixels);
    int progressSteps() const override;
    void setProgressStep(int step) override;

private:
    int m_steps;
};

// The one entry of a window's menu bar.
class Win32MenuItemPeer : public Win32ControlPeer {
public:
    Win32MenuItemPeer(HWND__* window, HMENU__* menu, unsigned id);
    std::string text() const override;
    void setText(const std::string& text) override;
    void setVisible(bool visible) override;
    void setEnabled(bool enabled) override;
    void refresh() override;

private:
    HMENU__* m_menu;
    unsigned m_id;
    std::wstring m_caption;
    bool m_visible = true;
    bool m_enabled = true;
};

} // namespace win32layer
