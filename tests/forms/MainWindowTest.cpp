// The main window as a person uses it: choosing a size, writing the test
// file, opening the other windows and closing the program.

#include "WindowTestSupport.h"

#include "Runtime.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

std::string option(int megabytes)
{
    return "Option" + std::to_string(megabytes / 10);
}

class MainWindow : public testing::Test {
protected:
    MainWindow() { forms.form1.Show(); }

    void write(int megabytes)
    {
        person->click(forms.form1, option(megabytes));
        person->click(forms.form1, "Command1");
    }
    bool testNetworkShown() const { return person->isShown(forms.form1, "Command2"); }

    WindowTestEnvironment env;
    std::unique_ptr<Person> person = makePerson();
    Forms forms;
};

} // namespace

TEST_F(MainWindow, StartsWithNothingChosenAndOnlyCreatingOffered)
{
    EXPECT_EQ(person->caption(forms.form1), "Dozozeda");
    EXPECT_EQ(person->clientSize(forms.form1), (Size{209, 226}));
    EXPECT_EQ(person->read(forms.form1, "Frame1"), "Size of dummyfile");
    EXPECT_EQ(person->read(forms.form1, "Command1"), "Create dummyfile");
    EXPECT_FALSE(testNetworkShown());
    for (int megabytes = 10; megabytes <= 100; megabytes += 10) {
        EXPECT_EQ(person->read(forms.form1, option(megabytes)),
                  std::to_string(megabytes) + (megabytes < 100 ? "  MB" : " MB"));
        EXPECT_FALSE(person->isSelected(forms.form1, option(megabytes)));
    }
    // The focus starts on the first option without choosing it.
    EXPECT_EQ(person->focused(forms.form1), "Option1");

    // The real message box of the layer, not a recording.
    const auto boxes = person->answeringMessageBoxes([&] { person->click(forms.form1, "Command1"); });

    EXPECT_EQ(boxes, (std::vector<SeenMessageBox>{{"Major error DUDE!!", "Select the size of the file!!!", true}}));
    EXPECT_EQ(sizeOf(env.dummyFile()), -1);
    EXPECT_FALSE(testNetworkShown());
    EXPECT_EQ(person->barFilled(forms.form1, "ProgressBar1"), 0);
}

TEST_F(MainWindow, EachOptionWritesItsSizeOfXAndOffersTheSpeedTest)
{
    // Longer than any new file, and not X: a stale file must be rewritten whole.
    writeFile(env.dummyFile(), std::string(11 * kMegabyte + 5, 'Y'));
    write(10);
    EXPECT_TRUE(isTestFileContent(env.dummyFile()));
    EXPECT_TRUE(testNetworkShown());
    EXPECT_EQ(person->barFilled(forms.form1, "ProgressBar1"), 0);

    for (int megabytes = 20; megabytes <= 100; megabytes += 10) {
        write(megabytes);
        EXPECT_EQ(sizeOf(env.dummyFile()), megabytes * kMegabyte) << megabytes;
        EXPECT_TRUE(person->isSelected(forms.form1, option(megabytes)));
        EXPECT_FALSE(person->isSelected(forms.form1, option(megabytes - 10)));
    }
    // A smaller file after a bigger one leaves nothing of the bigger one.
    write(10);
    EXPECT_TRUE(isTestFileContent(env.dummyFile()));
    EXPECT_EQ(env.messages(), std::vector<std::string>{});
}

TEST_F(MainWindow, TheKeyboardChoosesASizeToo)
{
    person->press(forms.form1, Key::Space);
    person->press(forms.form1, Key::Down);
    person->press(forms.form1, Key::Down);

    EXPECT_TRUE(person->isSelected(forms.form1, "Option3"));
    EXPECT_EQ(sizeOf(env.dummyFile()), -1);
    person->click(forms.form1, "Command1");
    EXPECT_EQ(sizeOf(env.dummyFile()), 30 * kMegabyte);
}

TEST_F(MainWindow, TheOtherWindowsOpenOnceKeepTheirContentsAndCloseAlone)
{
    write(10);
    person->click(forms.form1, "Command2");
    ASSERT_TRUE(person->isWindowShown(forms.form2));
    person->type(forms.form2, "Text1", "/mnt/nas");
    person->click(forms.form1, "Command2");
    EXPECT_EQ(person->read(forms.form2, "Text1"), "/mnt/nas");
    person->chooseMenu(forms.form1);
    EXPECT_EQ(forms::Window::LoadedWindows().size(), 3u);

    person->closeWindow(forms.form3);
    person->closeWindow(forms.form2);

    EXPECT_FALSE(forms.form2.Loaded() || forms.form3.Loaded());
    EXPECT_TRUE(forms.form1.Loaded());
    EXPECT_FALSE(env.programEnded());
    // Opened again, the speed test starts afresh.
    person->click(forms.form1, "Command2");
    EXPECT_EQ(person->read(forms.form2, "Text1"), "");
}

class Closing : public MainWindow, public testing::WithParamInterface<const char*> {};

// Alt+F4 on the main window ends the program, whatever else is open, and
// removes the test file only if this run wrote it.
TEST_P(Closing, RemovesOnlyTheFileThisRunWroteAndUnloadsEveryWindow)
{
    const std::string history = GetParam();
    writeFile(env.dummyFile(), "left by an earlier run");
    if (history != "nothing written") {
        write(10);
        person->click(forms.form1, "Command2");
    }
    if (history == "written, then removed by someone else")
        std::filesystem::remove(env.dummyFile());
    person->chooseMenu(forms.form1);

    person->pressAltF4(forms.form1);

    if (history == "nothing written")
        EXPECT_EQ(readFile(env.dummyFile()), "left by an earlier run");
    else
        EXPECT_EQ(sizeOf(env.dummyFile()), -1);
    EXPECT_TRUE(forms::Window::LoadedWindows().empty());
    EXPECT_EQ(env.programEnded(), std::optional<int>(0));
    EXPECT_EQ(env.messages(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(MainWindow, Closing,
                         testing::Values("nothing written", "written", "written, then removed by someone else"));

// The windows answer while the test file is written, and nothing starts a
// second write meanwhile; closing the window stops the write and leaves no
// half-written file behind.
TEST_F(MainWindow, TheWindowsAnswerDuringAWriteThatClosingStops)
{
    write(10);
    person->click(forms.form1, "Command2");
    person->click(forms.form1, option(100));
    bool startersDisabled = false, aboutOpened = false;
    person->post([&] {
        startersDisabled = !person->isEnabled(forms.form1, "Command1") && !person->isEnabled(forms.form2, "Command1");
        person->click(forms.form1, "Command1");
        person->chooseMenu(forms.form1);
        aboutOpened = person->isWindowShown(forms.form3);
    });
    person->click(forms.form1, "Command1");

    EXPECT_TRUE(startersDisabled);
    EXPECT_TRUE(aboutOpened);
    EXPECT_EQ(sizeOf(env.dummyFile()), 100 * kMegabyte);
    EXPECT_TRUE(person->isEnabled(forms.form1, "Command1") && person->isEnabled(forms.form2, "Command1"));

    person->post([&] { person->pressAltF4(forms.form1); });
    person->click(forms.form1, "Command1");

    EXPECT_EQ(sizeOf(env.dummyFile()), -1);
    EXPECT_EQ(env.programEnded(), std::optional<int>(0));
    EXPECT_EQ(env.messages(), std::vector<std::string>{});
}

struct FailingDisk {
    const char* name;
    unsigned megabytes;
    bool readOnly;
    // Written into the disk before the test, to leave less room.
    std::int64_t filler;
    // A good test file already lies on the disk.
    bool rewrite;
    const char* reason;
    friend void PrintTo(const FailingDisk& row, std::ostream* out) { *out << row.name; }
};

class FailedWrite : public MainWindow, public testing::WithParamInterface<FailingDisk> {};

// A write that fails says why, leaves no partial file, and offers no speed
// test without a test file; the next write into a good folder works.
TEST_P(FailedWrite, IsReportedAndLeavesNothingBehind)
{
    const FailingDisk& row = GetParam();
    SmallDisk disk(row.megabytes, row.readOnly);
    if (!disk.available())
        GTEST_SKIP() << "mounting a small tmpfs needs Linux and root";
    if (row.filler)
        writeFile(disk.path() + "/filler", std::string(row.filler, 'F'));
    platform::setProgramFolderOverride(disk.path());
    const std::string target = disk.path() + "/dummyfile.dum";
    if (row.rewrite) {
        write(10);
        ASSERT_TRUE(testNetworkShown());
    }

    write(row.rewrite ? 20 : 10);

    ASSERT_EQ(env.messages().size(), 1u);
    const std::string message = env.messages()[0];
    EXPECT_TRUE(message.starts_with("Major error DUDE!! (16): ") && message.find(target) != std::string::npos
                && message.ends_with(row.reason))
        << message;
    EXPECT_EQ(sizeOf(target), -1);
    EXPECT_EQ(person->barFilled(forms.form1, "ProgressBar1"), 0);
    EXPECT_FALSE(testNetworkShown());
    EXPECT_FALSE(env.programEnded());

    platform::setProgramFolderOverride(env.programFolder());
    write(10);
    EXPECT_EQ(env.messages().size(), 1u);
    EXPECT_EQ(sizeOf(env.dummyFile()), 10 * kMegabyte);
    EXPECT_TRUE(testNetworkShown());
}

// The last mebibyte is written when the file is closed, after the loop.
INSTANTIATE_TEST_SUITE_P(
    MainWindow, FailedWrite,
    testing::Values(FailingDisk{"full_disk", 5, false, 0, false, "No space left on device"},
                    FailingDisk{"full_disk_on_a_rewrite", 15, false, 0, true, "No space left on device"},
                    FailingDisk{"full_at_the_last_flush", 10, false, kMegabyte / 2, false, "No space left on device"},
                    FailingDisk{"read_only_folder", 5, true, 0, false, "Read-only file system"}),
    [](const testing::TestParamInfo<FailingDisk>& info) { return info.param.name; });
