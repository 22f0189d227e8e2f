#pragma once

#include "Design.h"

#include <string>
#include <string_view>

namespace forms {

// A control on screen, as a windowing layer builds it. Text crosses this
// boundary as UTF-8 with CR LF line breaks, whatever the toolkit uses.
// Every operation is valid for the control kinds the handles in Controls.h
// offer it for.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;

    // The text of a text box, the caption of anything else.
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
    // Adds to the end of a text box, leaving the caret, the selection and the
    // scroll position where the user left them, at a cost that does not grow
    // with what the box already holds.
    virtual void appendText(std::string_view text) = 0;

    virtual void setVisible(bool visible) = 0;
    virtual void setEnabled(bool enabled) = 0;

    virtual void setPicture(PictureId picture) = 0;

    // How many positions a progress bar can tell apart on screen, and which
    // one it shows: 0 is empty, steps() is full.
    virtual int progressSteps() const = 0;
    virtual void setProgressStep(int step) = 0;

    // Repaints now, before the caller goes on.
    virtual void refresh() = 0;
};

// A loaded window on screen. It is destroyed, with its controls, when the
// window unloads.
class WindowPeer {
public:
    virtual ~WindowPeer() = default;

    virtual ControlPeer& control(const std::string& name) = 0;
    virtual void show() = 0;
    virtual bool isShown() const = 0;
    virtual void refresh() = 0;
};

} // namespace forms
