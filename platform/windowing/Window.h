#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace platform {

// One of the program's windows. The object lives as long as the program and
// keeps its members; its controls exist only while it is loaded and are built
// afresh, with their design values, at every load.
class Window : public QObject {
    Q_OBJECT

public:
    Window();
    ~Window() override;

    // Loads the window if needed, then shows it without waiting for it.
    // Showing a window that is already shown changes nothing.
    void Show();
    void Load();
    // Runs the window's unload handler and destroys its controls. A request
    // made while the unload is already running is ignored. When no window is
    // left loaded, the program ends.
    void Unload();
    // Repaints at once, without going back to the event loop.
    void Refresh();

    bool isLoaded() const { return !m_widget.isNull(); }
    QWidget* widget() const { return m_widget.data(); }

    // The windows that are loaded right now, in the order they were loaded.
    static QList<Window*> LoadedWindows();

protected:
    // Builds the top-level widget and its controls with their design values,
    // at the window's design size; no window can be resized.
    virtual QWidget* CreateControls() = 0;
    // Forgets the pointers into the controls that are about to go.
    virtual void ForgetControls() = 0;
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void centreOnScreen();

    QPointer<QWidget> m_widget;
    bool m_unloading = false;
};

// Repaints one control at once.
void Refresh(QWidget* control);

// A top-level window with a title bar, its system menu and a close box, and
// no minimise or maximise button.
QWidget* newFixedSingleWindow();

} // namespace platform
