#include "Forms.h"

#include "CompactFont.h"
#include "DozozedaVersion.h"
#include "HandlerGuard.h"
#include "QtWindowingLayer.h"
#include "SessionEnd.h"
#include "Startup.h"
#include "TerminationSignals.h"
#include "UserDataFolder.h"
#include "dozozeda_resources.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    if (const auto status = qtlayer::answerInformationOptions(argc, argv))
        return *status;
    const auto app = qtlayer::openApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dozozeda"));
    QApplication::setApplicationVersion(QStringLiteral(DOZOZEDA_VERSION_TEXT));
    QApplication::setWindowIcon(QIcon(dozozeda::resources::windowIcon()));
    // The program ends when its main window is unloaded, not when Qt thinks
    // the last window has gone.
    QApplication::setQuitOnLastWindowClosed(false);
    qtlayer::useUserDataFolderAsProgramFolderFallback();
    qtlayer::useCompactFont();

    qtlayer::QtWindowingLayer layer;
    forms::useWindowingLayer(&layer);
    Forms forms;
    qtlayer::TerminationSignals onTermination([&forms] {
        if (forms.form1.Loaded())
            forms::EndSession(forms.form1);
        else
            QCoreApplication::exit(0);
    });
    forms::runGuarded([&forms] { forms.form1.Show(); });
    return QApplication::exec();
}
