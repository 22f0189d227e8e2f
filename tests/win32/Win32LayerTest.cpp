// What the Win32 layer alone does with the windows: how often the progress
// bar is told to move, and a quit posted from outside during a copy.

#include "Win32WindowPeer.h"
#include "WindowTestSupport.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

HWND controlOf(const forms::Window& window, const std::string& name)
{
    return dynamic_cast<const win32layer::Win32WindowPeer&>(*window.Peer()).controlHandle(name);
}

LRESULT CALLBACK recordPositions(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR positions)
{
    if (message == PBM_SETPOS)
        reinterpret_cast<std::vector<int>*>(positions)->push_back(static_cast<int>(wParam));
    return ::DefSubclassProc(bar, message, wParam, lParam);
}

} // namespace

// A bar N pixels wide needs no more than N moves, however many blocks are
// written; each move it is told about is one it shows.
TEST(Win32Layer, TheBarIsToldOnlyOfChangesItCanShow)
{
    WindowTestEnvironment env;
    const auto person = makePerson();
    Forms forms;
    forms.form1.Show();
    const HWND bar = controlOf(forms.form1, "ProgressBar1");
    const int width = static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    std::vector<int> positions{static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0))};
    ASSERT_TRUE(::SetWindowSubclass(bar, recordPositions, 1, reinterpret_cast<DWORD_PTR>(&positions)));
    person->click(forms.form1, "Option10");

    person->click(forms.form1, "Command1");

    ::RemoveWindowSubclass(bar, recordPositions, 1);
    EXPECT_EQ(sizeOf(env.dummyFile()), 100 * kMegabyte);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), width);
    EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end()) << "a move to where it stood";
    EXPECT_LE(positions.size(), static_cast<std::size_t>(width) + 2);
}

// Something outside the program may post WM_QUIT while a copy runs: the copy
// stops at the next block instead of holding the windows until it is done.
TEST(Win32Layer, AQuitFromOutsideStopsTheCopy)
{
    SpeedTestSession session;
    ASSERT_TRUE(session.start());
    session.duringCopy([] { ::PostQuitMessage(3); });
    session.typeTarget(session.targetFolder());

    session.clickCheckSpeed();

    MSG quit{};
    EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 3u);
    EXPECT_EQ(session.report(), reportStart(1));
    EXPECT_EQ(entries(session.targetFolder()), std::vector<std::string>{});
    EXPECT_EQ(session.messages(), std::vector<std::string>{});
    EXPECT_TRUE(isTestFileContent(session.testFile()));
}
