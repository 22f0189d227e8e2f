#pragma once

#include <string>
#include <vector>

namespace forms {

// Positions and sizes are in twips: 1/1440 inch, 15 to a pixel at 96 dots
// per inch. Each windowing layer turns them into its own units.
using Twips = int;

// A menu item is a top-level entry of the window's menu bar, above the
// client area; it has no bounds.
enum class ControlKind { CommandButton, OptionButton, Frame, TextBox, Label, Image, ProgressBar, MenuItem };

enum class BorderStyle {
    None,        // no border, no title bar, not in the taskbar
    FixedSingle, // title bar with system menu and close box; no minimise, maximise or resizing
};

// The pictures the program carries; an image shows one of them or nothing.
enum class PictureId { None, Idle, Busy };

// Colours a control can take from the system instead of its own defaults.
enum class SystemColour { Default, InactiveCaption, WindowBackground };

struct Bounds {
    Twips left = 0;
    Twips top = 0;
    Twips width = 0;
    Twips height = 0;
};

constexpr int kNoTabIndex = 1000;

// One control as the window creates it, with its design values.
struct ControlDesign {
    ControlKind kind = ControlKind::Label;
    std::string name{};
    // The frame the control sits in, or empty for the window's client area;
    // left and top count from the container's top-left corner.
    std::string container{};
    // The caption of a button, option, frame or label; the text of a text box.
    std::string caption{};
    Bounds bounds{};
    // Position in the tab order; only buttons, options and text boxes take focus.
    // Controls without one (images) come last.
    int tabIndex = kNoTabIndex;
    bool visible = true;
    // A text box with several lines and a vertical scroll bar.
    bool multiLine = false;
    PictureId picture = PictureId::None;
    SystemColour background = SystemColour::Default;
    SystemColour foreground = SystemColour::Default;
    // What a screen reader says for a control without a caption.
    std::string accessibleName{};
};

struct WindowDesign {
    std::string name{};
    std::string caption{};
    BorderStyle border = BorderStyle::FixedSingle;
    Twips clientWidth = 0;
    Twips clientHeight = 0;
    // In the order the window creates them.
    std::vector<ControlDesign> controls{};

    // Null when the window has no control of that name.
    const ControlDesign* find(const std::string& controlName) const;
    const ControlDesign* menuItem() const;
};

// Buttons, options and text boxes; frames, labels, images, bars and menus do not.
bool takesFocus(ControlKind kind);

// The controls in tab order (creation order among equal indexes).
std::vector<const ControlDesign*> inTabOrder(const WindowDesign& window);

// Where a control lies in the window's client area, its frame's offset added.
Bounds onClientArea(const WindowDesign& window, const ControlDesign& control);

} // namespace forms
