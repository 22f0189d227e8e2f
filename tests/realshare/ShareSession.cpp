#include "ShareSession.h"

#include "TempFolder.h"
#include "TextControls.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace realshare {

namespace {

template <typename Control>
Control* control(const platform::Window& window, const QString& name)
{
    QWidget* widget = window.widget();
    return widget ? widget->findChild<Control*>(name) : nullptr;
}

} // namespace

std::optional<Share> Share::fromEnvironment()
{
    Share share;
    const std::pair<const char*, QString*> variables[] = {
        {"DOZOZEDA_SHARE_STATE", &share.state},
        {"SHARE_DATA", &share.data},
        {"SHARE_SMALL", &share.small},
        {"SHARE_RO", &share.readOnly},
        {"SHARE_DATA_SERVER_DIR", &share.dataServer},
        {"SHARE_SMALL_SERVER_DIR", &share.smallServer},
        {"SHARE_RO_SERVER_DIR", &share.readOnlyServer},
        {"SHARE_MOUNT", &share.mount},
        {"SERVER_IP", &share.serverIp},
    };
    for (const auto& [name, value] : variables) {
        *value = qEnvironmentVariable(name);
        if (value->isEmpty())
            return std::nullopt;
    }
    return share;
}

bool Share::control(const QString& command, const QStringList& args) const
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT), QStringList{command, state} + args);
    if (!script.waitForFinished(60'000)) {
        script.kill();
        script.waitForFinished(5'000);
        return false;
    }
    return script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

std::chrono::nanoseconds WatchingClock::now() const
{
    const auto reading = m_real.now();
    if (const auto action = m_actions.find(m_readings++); action != m_actions.end())
        action->second();
    return reading;
}

std::chrono::nanoseconds WatchingClock::resolution() const
{
    return m_real.resolution();
}

void WatchingClock::afterReading(int index, std::function<void()> action)
{
    m_actions[index] = std::move(action);
}

ShareSession::ShareSession()
{
    m_forms.form1.Show();
}

bool ShareSession::writeTestFile(int megabytes)
{
    auto* size = control<QRadioButton>(m_forms.form1, QStringLiteral("Option%1").arg(megabytes / 10));
    auto* create = control<QPushButton>(m_forms.form1, QStringLiteral("Command1"));
    if (!size || !create)
        return false;
    QTest::mouseClick(size, Qt::LeftButton);
    QTest::mouseClick(create, Qt::LeftButton);
    return fileSize(testFile()) == megabytes * kMegabyte;
}

bool ShareSession::openSpeedTest()
{
    auto* testNetwork = control<QPushButton>(m_forms.form1, QStringLiteral("Command2"));
    if (!testNetwork || !testNetwork->isVisible())
        return false;
    QTest::mouseClick(testNetwork, Qt::LeftButton);
    return m_forms.form2.isLoaded() && m_forms.form2.widget()->isVisible();
}

void ShareSession::typeTarget(const QString& text)
{
    auto* box = control<QLineEdit>(m_forms.form2, QStringLiteral("Text1"));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void ShareSession::clickCheckSpeed()
{
    QTest::mouseClick(control<QPushButton>(m_forms.form2, QStringLiteral("Command1")), Qt::LeftButton);
}

QString ShareSession::report() const
{
    return platform::Text(control<QPlainTextEdit>(m_forms.form2, QStringLiteral("Text2")));
}

QStringList ShareSession::messages() const
{
    QStringList shown;
    for (const auto& box : m_env.messageBoxes())
        shown << QStringLiteral("%1 (%2): %3").arg(box.title).arg(box.style).arg(box.prompt);
    return shown;
}

QString errorBox(const QString& prompt)
{
    return QStringLiteral("Error! (16): ") + prompt;
}

QString reportStart(int run)
{
    return QStringLiteral("Transfer:%1\r\nTransfering file...please wait..\r\n").arg(run);
}

QStringList runLines(const QString& report, int run)
{
    QStringList lines = report.split(QStringLiteral("\r\n"));
    // Every line ends in CR LF, so splitting leaves an empty piece after the last.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const auto first = lines.indexOf(QStringLiteral("Transfer:%1").arg(run));
    if (first < 0)
        return {};
    QStringList block = lines.mid(first);
    const auto next = block.indexOf(QStringLiteral("Transfer:%1").arg(run + 1));
    return next < 0 ? block : block.mid(0, next);
}

std::int64_t fileSize(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

bool isTestFileContent(const std::string& path, std::int64_t size)
{
    if (fileSize(path) != size)
        return false;
    const std::string content = testsupport::readFile(path);
    return std::all_of(content.begin(), content.end(), [](char c) { return c == 'X'; });
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool removeLeftovers(const QString& shareFolder, const QString& serverFolder)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString& name : entries(serverFolder)) {
        const QString leftover = shareFolder + QLatin1Char('/') + name;
        while (!QFile::remove(leftover) && QFile::exists(serverFolder + QLatin1Char('/') + name)
               && timer.elapsed() < 10'000)
            QThread::msleep(200);
    }
    for (const QString& name : entries(serverFolder)) {
        std::error_code error;
        std::filesystem::remove_all((serverFolder + QLatin1Char('/') + name).toStdString(), error);
    }
    return entries(serverFolder).isEmpty();
}

bool waitUntilClosedEverywhere(const std::string& path, std::chrono::milliseconds limit)
{
    namespace fs = std::filesystem;
    // Processes come and go while the list is read, so no error here counts.
    const auto isOpen = [&path] {
        std::error_code error;
        for (fs::directory_iterator process("/proc", error), end; !error && process != end;
             process.increment(error)) {
            std::error_code gone;
            for (fs::directory_iterator handle(process->path() / "fd", gone); !gone && handle != end;
                 handle.increment(gone)) {
                std::error_code unreadable;
                if (fs::read_symlink(handle->path(), unreadable) == path)
                    return true;
            }
        }
        return false;
    };
    QElapsedTimer timer;
    timer.start();
    while (isOpen()) {
        if (timer.elapsed() > limit.count())
            return false;
        QThread::msleep(50);
    }
    return true;
}

std::optional<double> ddSeconds(const QString& source, const QString& target)
{
    QProcess dd;
    dd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dd.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    dd.start(QStringLiteral("dd"), {QStringLiteral("if=") + source, QStringLiteral("of=") + target,
                                    QStringLiteral("bs=1M"), QStringLiteral("conv=fsync"),
                                    QStringLiteral("status=none")});
    if (!dd.waitForFinished(60'000)) {
        dd.kill();
        dd.waitForFinished(5'000);
        return std::nullopt;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (dd.exitStatus() != QProcess::NormalExit || dd.exitCode() != 0)
        return std::nullopt;
    return seconds;
}

} // namespace realshare
