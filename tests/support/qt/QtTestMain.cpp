// Runs the window tests on the Qt layer, headless unless told otherwise.

#include "CompactFont.h"
#include "QtWindowingLayer.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The offscreen platform cannot raise windows and says so at every activation.
void quietAboutRaising(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QStringLiteral("This plugin does not support raise()")))
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietAboutRaising);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dozozeda"));
    QApplication::setQuitOnLastWindowClosed(false);
    qtlayer::useCompactFont();
    qtlayer::QtWindowingLayer layer;
    forms::useWindowingLayer(&layer);

    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    forms::useWindowingLayer(nullptr);
    return status;
}
