#include "Forms.h"

#include "CompactFont.h"
#include "TerminationSignals.h"
#include "UserDataFolder.h"
#include "dozozeda_resources.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dozozeda"));
    QApplication::setApplicationVersion(QStringLiteral(DOZOZEDA_VERSION_TEXT));
    QApplication::setWindowIcon(QIcon(dozozeda::resources::windowIcon()));
    // The program ends when its main window is unloaded, not when Qt thinks
    // the last window has gone.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::useUserDataFolderAsProgramFolderFallback();
    platform::useCompactFont();

    Forms forms;
    platform::TerminationSignals onTermination([&forms] {
        if (QWidget* main = forms.form1.widget())
            main->close();
        else
            QCoreApplication::exit(0);
    });
    forms.form1.Show();
    return QApplication::exec();
}
