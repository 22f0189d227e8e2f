// Typing the share the way it is written, \\server\share\folder or
// smb://server/share/folder, against the real share that run-tests.sh --gvfs
// serves at 100 Mbit/s to two clients, gvfs and smbnetfs. Each case leaves
// one client up, or none, so the mount a run went through is known.

#include "WindowTestSupport.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <filesystem>

using namespace testsupport;

namespace {

using Strings = std::vector<std::string>;

const std::string kPathError = "Path error!, check your path and try again!";

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// share.sh COMMAND on the share run-tests.sh brought up.
bool share(const QString& command, const QStringList& args = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT),
                  QStringList{command, QString::fromStdString(env("DOZOZEDA_SHARE_STATE"))} + args);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

class ShareAddress : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(env("DOZOZEDA_SHARE_STATE").empty() || env("GVFS_SHARE").empty())
            << "no share in the environment; run this program through run-tests.sh --gvfs";
        std::filesystem::create_directories(env("SHARE_DATA_SERVER_DIR") + "/sub");
    }

    // Both clients back, and no copy left on the server.
    void TearDown() override
    {
        EXPECT_TRUE(share(QStringLiteral("smbnetfs"), {QStringLiteral("on")}));
        EXPECT_TRUE(share(QStringLiteral("gvfs-up"), {QStringLiteral("data")}));
        std::error_code ignored;
        std::filesystem::remove(env("SHARE_DATA") + "/sub/dummyfile.dum", ignored);
        EXPECT_EQ(entries(serverSub), Strings{});
    }

    const std::string server = env("SERVER_IP");
    const std::string serverSub = env("SHARE_DATA_SERVER_DIR") + "/sub";
    const std::string serverCopy = serverSub + "/dummyfile.dum";
};

struct Typed {
    const char* name;
    bool throughGvfs;
    bool asUrl;
    friend void PrintTo(const Typed& row, std::ostream* out) { *out << row.name; }
};

class TypedAddress : public ShareAddress, public testing::WithParamInterface<Typed> {};

TEST_P(TypedAddress, RunsThroughTheMountThatServesIt)
{
    const Typed& row = GetParam();
    const std::string typed = row.asUrl ? "smb://" + server + "/data/sub" : "\\\\" + server + "\\data\\sub";
    ASSERT_TRUE(row.throughGvfs ? share(QStringLiteral("smbnetfs"), {QStringLiteral("off")})
                                : share(QStringLiteral("gvfs-down")));
    SpeedTestSession session(std::nullopt);
    ASSERT_TRUE(session.start());
    bool wholeOnServerWhenTimed = false;
    session.clock.atReading[1] = [&] { wholeOnServerWhenTimed = isTestFileContent(serverCopy); };
    session.typeTarget(typed);

    QElapsedTimer click;
    click.start();
    session.clickCheckSpeed();

    EXPECT_EQ(session.messages(), Strings{});
    EXPECT_TRUE(wholeOnServerWhenTimed);
    EXPECT_EQ(session.targetText(), typed + "\\");
    const std::string report = session.report();
    EXPECT_TRUE(report.starts_with(reportStart(1)) && report.find("Transfer completed") != std::string::npos) << report;
    EXPECT_EQ(entries(serverSub), Strings{});
    std::printf("%s: the click took %.2f s\n", row.name, click.elapsed() / 1000.0);
}

INSTANTIATE_TEST_SUITE_P(ShareAddress, TypedAddress,
                         testing::Values(Typed{"gvfs_unc", true, false}, Typed{"gvfs_url", true, true},
                                         Typed{"smbnetfs_unc", false, false}, Typed{"smbnetfs_url", false, true}),
                         [](const testing::TestParamInfo<Typed>& info) { return info.param.name; });

// smbnetfs serves every server below its mount point, so a server and share
// typed as ".." would climb out of it into a local folder; the copy would
// replace a file there and report the local disk's rate as the network's.
TEST_F(ShareAddress, AnAddressCannotClimbOutOfTheMount)
{
    ASSERT_TRUE(share(QStringLiteral("gvfs-down")));
    const std::filesystem::path mount = env("SHARE_MOUNT");
    const std::string name = "dozozeda-victim-" + std::to_string(::getpid());
    const std::string local = (mount.parent_path().parent_path() / name).string();
    std::filesystem::create_directory(local);
    writeFile(local + "/dummyfile.dum", "keep me");
    SpeedTestSession session(std::nullopt);
    ASSERT_TRUE(session.start());

    for (const std::string& typed : {"\\\\..\\..\\" + name, "smb://%2E%2E/%2E%2E/" + name}) {
        session.typeTarget(typed);
        session.clickCheckSpeed();
    }

    EXPECT_EQ(session.messages(), Strings(2, errorBox(kPathError)));
    EXPECT_EQ(session.report(), "");
    EXPECT_EQ(entries(local), Strings{"dummyfile.dum"});
    EXPECT_EQ(readFile(local + "/dummyfile.dum"), "keep me");
    std::filesystem::remove_all(local);
}

TEST_F(ShareAddress, AShareNoClientServesSaysHowToMountIt)
{
    ASSERT_TRUE(share(QStringLiteral("gvfs-down")));
    ASSERT_TRUE(share(QStringLiteral("smbnetfs"), {QStringLiteral("off")}));
    SpeedTestSession session(std::nullopt);
    ASSERT_TRUE(session.start());
    session.typeTarget("smb://" + server + "/data/sub");

    session.clickCheckSpeed();

    const std::string reason = "smb://" + server + "/data is not mounted. Open it in the file manager (or run: gio mount smb://"
        + server + "/data), then try again.";
    EXPECT_EQ(session.messages(), Strings{errorBox(kPathError + "\r\n" + reason)});
    EXPECT_EQ(session.report(), "");
}

} // namespace
