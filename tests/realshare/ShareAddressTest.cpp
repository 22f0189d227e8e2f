// Typing the share the way it is written, \\server\share\folder or
// smb://server/share/folder, against the real share that run-tests.sh --gvfs
// serves at 100 Mbit/s to two clients, gvfs and smbnetfs. Each case leaves
// one client up, or none, so the mount a run went through is known.

#include "GuiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace testsupport;

namespace {

const QString kPathError = QStringLiteral("Path error!, check your path and try again!");

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

// share.sh COMMAND on the share run-tests.sh brought up.
bool share(const QString& command, const QStringList& args = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT), QStringList{command, env("DOZOZEDA_SHARE_STATE")} + args);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class ShareAddressTest : public QObject {
    Q_OBJECT

private:
    const QString server = env("SERVER_IP");
    const QString serverSub = env("SHARE_DATA_SERVER_DIR") + QStringLiteral("/sub");
    const std::string serverCopy = (serverSub + QStringLiteral("/dummyfile.dum")).toStdString();

private slots:
    void initTestCase()
    {
        QVERIFY2(!env("DOZOZEDA_SHARE_STATE").isEmpty() && !env("GVFS_SHARE").isEmpty(),
                 "no share in the environment; run this program through run-tests.sh --gvfs");
        QVERIFY(QDir().mkpath(serverSub));
    }

    // Both clients back, and no copy left on the server.
    void cleanup()
    {
        QVERIFY(share(QStringLiteral("smbnetfs"), {QStringLiteral("on")}));
        QVERIFY(share(QStringLiteral("gvfs-up"), {QStringLiteral("data")}));
        QFile::remove(env("SHARE_DATA") + QStringLiteral("/sub/dummyfile.dum"));
        QCOMPARE(entries(serverSub), QStringList());
    }

    void aTypedAddressRunsThroughTheMountThatServesIt_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("gvfs");
        const QString unc = QStringLiteral("\\\\%1\\data\\sub").arg(server);
        const QString url = QStringLiteral("smb://%1/data/sub").arg(server);
        QTest::newRow("gvfs, \\\\server\\share") << unc << true;
        QTest::newRow("gvfs, smb://") << url << true;
        QTest::newRow("smbnetfs, \\\\server\\share") << unc << false;
        QTest::newRow("smbnetfs, smb://") << url << false;
    }

    void aTypedAddressRunsThroughTheMountThatServesIt()
    {
        QFETCH(QString, typed);
        QFETCH(bool, gvfs);
        QVERIFY(gvfs ? share(QStringLiteral("smbnetfs"), {QStringLiteral("off")}) : share(QStringLiteral("gvfs-down")));
        SpeedTestSession session(std::nullopt);
        QVERIFY(session.start());
        bool wholeOnServerWhenTimed = false;
        session.clock.atReading[1] = [&] { wholeOnServerWhenTimed = isTestFileContent(serverCopy); };
        session.typeTarget(typed);

        QElapsedTimer click;
        click.start();
        session.clickCheckSpeed();

        QVERIFY2(session.messages().isEmpty(), qPrintable(session.messages().join(QLatin1Char('\n'))));
        QVERIFY(wholeOnServerWhenTimed);
        QVERIFY2(session.report().startsWith(reportStart(1)) && session.report().contains(QStringLiteral("Transfer completed")),
                 qPrintable(session.report()));
        QCOMPARE(entries(serverSub), QStringList());
        const QStringList lines = session.report().split(QStringLiteral("\r\n"));
        qInfo("%s: the click took %.2f s; %s, %s", QTest::currentDataTag(), click.elapsed() / 1000.0,
              qPrintable(lines.value(5)), qPrintable(lines.value(8)));
    }

    void aShareNoClientServesSaysHowToMountIt()
    {
        QVERIFY(share(QStringLiteral("gvfs-down")));
        QVERIFY(share(QStringLiteral("smbnetfs"), {QStringLiteral("off")}));
        SpeedTestSession session(std::nullopt);
        QVERIFY(session.start());
        session.typeTarget(QStringLiteral("smb://%1/data/sub").arg(server));

        session.clickCheckSpeed();

        const QString reason = QStringLiteral("smb://%1/data is not mounted. Open it in the file manager "
                                              "(or run: gio mount smb://%1/data), then try again.")
                                   .arg(server);
        QCOMPARE(session.messages(), QStringList{errorBox(kPathError + QStringLiteral("\r\n") + reason)});
        QCOMPARE(session.report(), QString());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    setUpApplication();
    ShareAddressTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ShareAddressTest.moc"
