#pragma once

#include "Window.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

enum class Key { Tab, Space, Down, Right, ShiftRight, CtrlHome, Return };

struct SeenMessageBox {
    std::string title;
    std::string prompt;
    bool criticalIcon = false;
    bool operator==(const SeenMessageBox&) const = default;
};

// A person at the screen. Works the program's windows through their real
// controls on the windowing layer the tests are built with, and reads back
// what the screen shows. Controls are named as in the windows' designs.
// Every action returns once the program has handled it.
class Person {
public:
    virtual ~Person() = default;

    // A mouse click on a button or an option.
    virtual void click(const forms::Window& window, const std::string& control) = 0;
    // Chooses the window's menu entry.
    virtual void chooseMenu(const forms::Window& window) = 0;
    // Replaces a text box's text the way a person does: select all, then type.
    virtual void type(const forms::Window& window, const std::string& box, const std::string& text) = 0;
    // Types at the caret without selecting anything first.
    virtual void typeMore(const forms::Window& window, const std::string& box, const std::string& text) = 0;
    // A key pressed while the window has the focus.
    virtual void press(const forms::Window& window, Key key) = 0;
    // Alt+F4 on the window.
    virtual void pressAltF4(const forms::Window& window) = 0;
    // The close box in the title bar, or the window manager's close command.
    virtual void closeWindow(const forms::Window& window) = 0;
    // Lets the program handle whatever is pending (repaints, posted events).
    virtual void processEvents() = 0;
    // Runs the task on the user-interface thread the next time it handles
    // events, as the person's next action; callable from any thread. This is
    // how a test acts while a click's work runs in the background.
    virtual void post(std::function<void()> task) = 0;

    // What a control shows: a text box's text, anything else's caption,
    // with CR LF line breaks.
    virtual std::string read(const forms::Window& window, const std::string& control) const = 0;
    virtual std::string caption(const forms::Window& window) const = 0;
    // Whether the control is shown (its own flag; the window may be hidden).
    virtual bool isShown(const forms::Window& window, const std::string& control) const = 0;
    virtual bool isEnabled(const forms::Window& window, const std::string& control) const = 0;
    virtual bool isSelected(const forms::Window& window, const std::string& option) const = 0;
    virtual bool isWindowShown(const forms::Window& window) const = 0;
    // The name of the control that has the keyboard focus; empty when none of
    // the window's controls has it.
    virtual std::string focused(const forms::Window& window) const = 0;
    // The colour of an image's top-left pixel; nothing while it shows no picture.
    virtual std::optional<Rgb> pictureColour(const forms::Window& window, const std::string& image) const = 0;
    // How much of a progress bar is filled, 0 to 1.
    virtual double barFilled(const forms::Window& window, const std::string& bar) const = 0;
    // The client area below any menu bar, in pixels at 96 dots per inch.
    virtual Size clientSize(const forms::Window& window) const = 0;

    // The report box: its selection (start, in characters, and the selected
    // text), its first visible line, and a page down on its scroll bar.
    virtual int selectionStart(const forms::Window& window, const std::string& box) const = 0;
    virtual std::string selectedText(const forms::Window& window, const std::string& box) const = 0;
    virtual int firstVisibleLine(const forms::Window& window, const std::string& box) const = 0;
    virtual void scrollPageDown(const forms::Window& window, const std::string& box) = 0;

    // Runs `action` with the layer's real message boxes, closing each with OK
    // as it appears; returns what they showed.
    virtual std::vector<SeenMessageBox> answeringMessageBoxes(const std::function<void()>& action) = 0;
};

// The person for the layer these tests are built with.
std::unique_ptr<Person> makePerson();

// Sets the layer's regional settings to U.S. English for number formatting.
void useUsNumberFormat();

} // namespace testsupport
