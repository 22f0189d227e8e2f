#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace qtlayer {

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a
// terminal, the terminal closed) into a call on the user-interface thread,
// so that the program can close its main window the ordinary way and clean
// up after itself.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(std::function<void()> onTerminate, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void handle();

    std::function<void()> m_onTerminate;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace qtlayer
