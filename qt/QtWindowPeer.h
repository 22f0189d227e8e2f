#pragma once

#include "QtControlPeer.h"
#include "Window.h"
#include "WindowPeer.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

namespace qtlayer {

class EventForwarder;

// A window built with Qt widgets from its design: a frameless main window
// with a menu bar, or a fixed-size window with a title bar and close box.
// Every way of closing it (close box, Alt+F4, the window manager) is handed
// to the window logic, which unloads it.
class QtWindowPeer : public forms::WindowPeer {
public:
    explicit QtWindowPeer(forms::Window& window);
    ~QtWindowPeer() override;

    forms::ControlPeer& control(const std::string& name) override;
    void show() override;
    bool isShown() const override;
    void refresh() override;

    QWidget* widget() const { return m_widget; }
    // The widget of a control, or null for the menu entry.
    QWidget* controlWidget(const std::string& name) const;

private:
    QWidget* createWindow();
    void createControl(const forms::ControlDesign& design, QWidget* container);
    void setTabOrder();
    void centreOnScreen();

    forms::Window& m_window;
    QPointer<QWidget> m_widget;
    QWidget* m_clientArea = nullptr;
    EventForwarder* m_events = nullptr;
    std::map<std::string, std::unique_ptr<QtControlPeer>> m_controls;
};

} // namespace qtlayer
