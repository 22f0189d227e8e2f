#include "Startup.h"

#include "DozozedaVersion.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace qtlayer {

namespace {

// Set by the build when it also makes the command-line program, the one to
// use where there is no desktop.
#ifdef DOZOZEDA_CLI_NAME
constexpr const char* instead = ", or run " DOZOZEDA_CLI_NAME " for the same test in a terminal";
#else
constexpr const char* instead = "";
#endif

std::string environmentNamingTheDisplay()
{
    std::string named;
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            named += std::string(named.empty() ? "" : ", ") + name + "=" + value;
    }
    return named;
}

void explainNoDisplay()
{
    const std::string named = environmentNamingTheDisplay();
    const std::string what = named.empty()
        ? "there is no graphical session here (DISPLAY and WAYLAND_DISPLAY are not set)"
        : "cannot open a window (" + named + ")";
    std::fprintf(stderr, "dozozeda: %s; start it from a desktop session%s.\n", what.c_str(), instead);
}

// Qt's messages while the display is being opened, held back until it is
// clear whether they lead to a window or to the fatal report that no
// platform plugin could start.
struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

std::mutex heldLock;
std::vector<HeldMessage> held;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        explainNoDisplay();
        // Returning would abort and dump core; nothing is open yet to clean up.
        std::_Exit(1);
    }
    const std::lock_guard lock(heldLock);
    held.push_back({type, context.file, context.line, context.function, context.category, text});
}

} // namespace

std::optional<int> answerInformationOptions(int argc, char* argv[])
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("dozozeda (Dozozeda) %s\nCopyright (c) 2026 The Dozozeda developers\nMIT License\n",
                        DOZOZEDA_VERSION_TEXT);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: dozozeda [--help | --version]\n"
                        "Opens the window that measures how fast this machine writes a file to a\n"
                        "network share.\n");
#ifdef DOZOZEDA_CLI_NAME
            std::printf("To measure it in a terminal, use " DOZOZEDA_CLI_NAME ".\n");
#endif
            return 0;
        }
    }
    return std::nullopt;
}

std::unique_ptr<QApplication> openApplication(int& argc, char* argv[])
{
    const QtMessageHandler previous = qInstallMessageHandler(holdMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);

    const std::lock_guard lock(heldLock);
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(message.file.constData(), message.line, message.function.constData(),
                                         message.category.constData());
        previous(message.type, context, message.text);
    }
    held.clear();
    return application;
}

} // namespace qtlayer
