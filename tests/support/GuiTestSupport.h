#pragma once

#include "MessageBox.h"
#include "TempFolder.h"
#include "Window.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace testsupport {

// Puts the windows into a state a test can drive without a person:
// message boxes are recorded instead of shown, ending the program is
// recorded instead of done, the program folder is a fresh temporary folder,
// and numbers are formatted the United States way.
class GuiTestEnvironment {
public:
    GuiTestEnvironment();
    GuiTestEnvironment(const GuiTestEnvironment&) = delete;
    GuiTestEnvironment& operator=(const GuiTestEnvironment&) = delete;
    ~GuiTestEnvironment();

    const QList<platform::MessageBoxCall>& messageBoxes() const { return m_boxes; }
    // Every box so far as "title (style): prompt".
    QStringList messages() const;
    std::optional<int> programEnded() const { return m_endStatus; }

    const std::string& programFolder() const { return m_folder.path(); }
    std::string dummyFile() const { return m_folder.file("dummyfile.dum"); }

private:
    TempFolder m_folder;
    QList<platform::MessageBoxCall> m_boxes;
    std::optional<int> m_endStatus;
};

QString describe(const platform::MessageBoxCall& box);

// A control of a loaded window by its object name; null when absent.
template <typename Control = QWidget>
Control* control(const platform::Window& window, const QString& name)
{
    return window.widget() ? window.widget()->findChild<Control*>(name) : nullptr;
}

// Calls QApplication-wide setup that the real program does in main().
void setUpApplication();

} // namespace testsupport
