#include "GuiTestSupport.h"

#include "CompactFont.h"
#include "HandlerGuard.h"
#include "Runtime.h"

#include <QApplication>
#include <QLocale>

namespace testsupport {

GuiTestEnvironment::GuiTestEnvironment()
{
    platform::setMessageBoxHandler([this](const platform::MessageBoxCall& call) { m_boxes.append(call); });
    platform::setEndProgramHandler([this](int status) { m_endStatus = status; });
    platform::setProgramFolderOverride(m_folder.path());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

GuiTestEnvironment::~GuiTestEnvironment()
{
    platform::setMessageBoxHandler(nullptr);
    platform::setEndProgramHandler([](int status) { QCoreApplication::exit(status); });
    platform::setProgramFolderOverride(std::nullopt);
}

QStringList GuiTestEnvironment::messages() const
{
    QStringList shown;
    for (const auto& box : m_boxes)
        shown << describe(box);
    return shown;
}

QString describe(const platform::MessageBoxCall& box)
{
    return QStringLiteral("%1 (%2): %3").arg(box.title).arg(box.style).arg(box.prompt);
}

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Dozozeda"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::useCompactFont();
}

} // namespace testsupport
