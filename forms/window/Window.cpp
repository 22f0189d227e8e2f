#include "Window.h"

#include "Background.h"
#include "HandlerGuard.h"
#include "WindowPeer.h"
#include "WindowingLayer.h"

#include <algorithm>
#include <stdexcept>

namespace forms {

namespace {

std::vector<Window*>& loadedWindows()
{
    static std::vector<Window*> windows;
    return windows;
}

} // namespace

Window::Window(const WindowDesign& design)
    : m_design(design)
{
}

Window::~Window()
{
    std::erase(loadedWindows(), this);
}

std::vector<Window*> Window::LoadedWindows()
{
    return loadedWindows();
}

void Window::adopt(Control& control)
{
    m_controls.push_back(&control);
}

void Window::bindControls(bool bind)
{
    for (Control* control : m_controls) {
        const ControlDesign* design = m_design.find(control->Name());
        if (!design)
            throw std::logic_error("The design of " + m_design.name + " has no control " + control->Name() + ".");
        control->attach(bind ? &m_peer->control(control->Name()) : nullptr, *design);
    }
}

void Window::Load()
{
    if (Loaded())
        return;
    m_peer = layer().createPeer(*this);
    bindControls(true);
    loadedWindows().push_back(this);
    if (WorkLocked())
        EnableLockedControls(false);
    Form_Load();
}

void Window::Show()
{
    Load();
    if (!m_peer->isShown())
        m_peer->show();
}

void Window::Unload()
{
    if (!Loaded() || m_unloading)
        return;
    m_unloading = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_unloading};

    // Work must not outlive the window that shows its progress.
    if (WorkOwner() == this)
        StopWork();
    Form_Unload();

    bindControls(false);
    m_peer.reset();
    std::erase(loadedWindows(), this);
    if (loadedWindows().empty())
        endProgram(0);
}

void Window::Refresh()
{
    if (Loaded())
        m_peer->refresh();
}

void Window::Clicked(std::string_view control)
{
    const auto handler = m_clickHandlers.find(control);
    if (handler == m_clickHandlers.end())
        return;
    if (!m_lockedDuringWork.contains(control)) {
        runGuarded(handler->second);
        return;
    }
    if (WorkLocked())
        return;
    const WorkLock lock;
    runGuarded(handler->second);
}

void Window::EnableLockedControls(bool enabled)
{
    if (!Loaded())
        return;
    for (const std::string& control : m_lockedDuringWork)
        m_peer->control(control).setEnabled(enabled);
}

void Window::CloseRequested()
{
    runGuarded([this] { Unload(); });
}

} // namespace forms
