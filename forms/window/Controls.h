#pragma once

#include "Design.h"

#include <string>
#include <string_view>

namespace forms {

class ControlPeer;
class Window;

// A window's control as its logic sees it: a named member that lives as long
// as the window object, bound to the control on screen while the window is
// loaded. Using a control of an unloaded window throws.
class Control {
public:
    Control(Window& window, std::string name);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    const std::string& Name() const { return m_name; }

    void SetVisible(bool visible);
    // Repaints the control now.
    void Refresh();

protected:
    friend class Window;
    ControlPeer& peer() const;
    // The window binds its controls at load and lets go of them at unload.
    virtual void attach(ControlPeer* peer, const ControlDesign& design);

private:
    std::string m_name;
    ControlPeer* m_peer = nullptr;
};

class CommandButton : public Control {
public:
    using Control::Control;
};

// Selecting one option of a frame clears the others; the window hears of a
// selection the user makes as a click.
class OptionButton : public Control {
public:
    using Control::Control;
};

class Frame : public Control {
public:
    using Control::Control;
};

class MenuItem : public Control {
public:
    using Control::Control;
};

class TextBox : public Control {
public:
    using Control::Control;
    std::string Text() const;
    void SetText(const std::string& text);
    // The same as SetText(Text() + text) for the user, at a cost that does not
    // grow with the text already in the box.
    void AppendText(std::string_view text);
};

class Label : public Control {
public:
    using Control::Control;
    std::string Caption() const;
    void SetCaption(const std::string& caption);
};

// Shows its picture unscaled at its top-left corner.
class Image : public Control {
public:
    using Control::Control;
    PictureId Picture() const { return m_picture; }
    void SetPicture(PictureId picture);

private:
    void attach(ControlPeer* peer, const ControlDesign& design) override;

    PictureId m_picture = PictureId::None;
};

// Keeps Min, Max and Value exactly as set, in single precision, and passes a
// change on to the screen only when the bar would look different: a writer
// may set Value a hundred thousand times a second, and some toolkits repaint
// on every call.
class ProgressBar : public Control {
public:
    using Control::Control;
    float Min() const { return m_min; }
    float Max() const { return m_max; }
    float Value() const { return m_value; }
    void SetMin(float min);
    void SetMax(float max);
    void SetValue(float value);

private:
    void attach(ControlPeer* peer, const ControlDesign& design) override;
    void show();

    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
    // A bar is built empty; telling it so again would be a change nobody sees.
    int m_shownStep = 0;
};

} // namespace forms
