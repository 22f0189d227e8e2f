#include "HandlerGuard.h"

#include "MessageBox.h"

#include <QCoreApplication>

#include <exception>

namespace platform {

namespace {

std::function<void(int)>& endProgramHandler()
{
    static std::function<void(int)> handler = [](int status) { QCoreApplication::exit(status); };
    return handler;
}

void reportFatal(const QString& text)
{
    MsgBox(text, vbCritical, QCoreApplication::applicationName());
    endProgram(1);
}

} // namespace

void runGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        reportFatal(QString::fromStdString(e.what()));
    } catch (...) {
        reportFatal(QStringLiteral("An unexpected error occurred."));
    }
}

void endProgram(int status)
{
    endProgramHandler()(status);
}

void setEndProgramHandler(std::function<void(int)> handler)
{
    endProgramHandler() = std::move(handler);
}

} // namespace platform
