#pragma once

#include "Controls.h"
#include "Design.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

class WindowPeer;

// One of the program's windows. The object lives as long as the program and
// keeps its members; its controls exist on screen only while it is loaded
// and are built afresh, with their design values, at every load. It talks to
// the screen only through the windowing layer (WindowingLayer.h).
class Window {
public:
    explicit Window(const WindowDesign& design);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    // Loads the window if needed, then shows it without waiting for it.
    // Showing a window that is already shown changes nothing.
    void Show();
    void Load();
    // Runs the window's unload handler and destroys its controls. A request
    // made while the unload is already running is ignored. When no window is
    // left loaded, the program ends.
    void Unload();
    // Repaints the window now.
    void Refresh();

    bool Loaded() const { return m_peer != nullptr; }

    // The windows that are loaded right now, in the order they were loaded.
    static std::vector<Window*> LoadedWindows();

    const WindowDesign& Design() const { return m_design; }
    // The window on screen, for its windowing layer and for tests; null while unloaded.
    WindowPeer* Peer() const { return m_peer.get(); }

    // Events, reported by the windowing layer. A click on a button or a menu
    // entry, or the user selecting an option, runs that control's handler.
    void Clicked(std::string_view control);
    // Any of the platform's ways of closing a window: its close box, Alt+F4,
    // the session ending. It unloads the window; work the window started is
    // stopped first.
    void CloseRequested();

    // Disables or enables the controls locked while work runs (Background.h).
    void EnableLockedControls(bool enabled);

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    // Whether a click starts work that runs in the background. Only one piece
    // of work runs at a time, so such buttons are locked while one runs.
    enum class Starts { Nothing, Work };

    template <typename Form>
    void OnClick(const Control& control, void (Form::*handler)(), Starts starts = Starts::Nothing)
    {
        m_clickHandlers[control.Name()] = [this, handler] { (static_cast<Form*>(this)->*handler)(); };
        if (starts == Starts::Work)
            LockDuringWork(control);
    }

    // Disabled, and deaf to clicks, while any work runs: for what the work
    // reads again when it ends.
    void LockDuringWork(const Control& control) { m_lockedDuringWork.insert(control.Name()); }

private:
    friend class Control;
    void adopt(Control& control);
    void bindControls(bool bind);

    const WindowDesign& m_design;
    std::vector<Control*> m_controls;
    std::map<std::string, std::function<void()>, std::less<>> m_clickHandlers;
    std::set<std::string, std::less<>> m_lockedDuringWork;
    std::unique_ptr<WindowPeer> m_peer;
    bool m_unloading = false;
};

} // namespace forms
