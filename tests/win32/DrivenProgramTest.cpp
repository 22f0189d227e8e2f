// Dozozeda.exe as its own process, worked from outside through window
// messages the way another program, the keyboard or the session does it:
// every way of closing the main window removes the test file the program
// wrote and ends it with status 0.

#include "TempFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::filesystem::path pathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s)
{
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

struct Search {
    DWORD process;
    HWND found = nullptr;
};

// The program's main window: the visible top-level window with a menu bar.
HWND mainWindowOf(DWORD process)
{
    Search search{process};
    ::EnumWindows(
        [](HWND window, LPARAM data) {
            auto& search = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != search.process || !::IsWindowVisible(window) || !::GetMenu(window))
                return TRUE;
            search.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND controlCaptioned(HWND window, const std::wstring& caption)
{
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[64] = {};
        ::GetWindowTextW(child, text, 64);
        if (caption == text)
            return child;
    }
    return nullptr;
}

// A copy of the program in a folder of its own, where it writes its test file.
class RunningProgram {
public:
    RunningProgram()
    {
        const char* exe = std::getenv("DOZOZEDA_EXE");
        if (!exe)
            throw std::runtime_error("DOZOZEDA_EXE names no program");
        m_exe = pathOf(m_folder.path()) / "Dozozeda.exe";
        std::filesystem::copy_file(pathOf(exe), m_exe);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + m_exe.wstring() + L"\"";
        const auto started = Clock::now();
        if (!::CreateProcessW(m_exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &m_process))
            throw std::runtime_error("cannot start Dozozeda.exe (error " + std::to_string(::GetLastError()) + ")");
        waitFor([this] { return (m_main = mainWindowOf(m_process.dwProcessId)) != nullptr; });
        startTime = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram()
    {
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process.hProcess, 99);
        ::WaitForSingleObject(m_process.hProcess, 10'000);
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }

    HWND mainWindow() const { return m_main; }
    DWORD thread() const { return m_process.dwThreadId; }
    std::filesystem::path testFile() const { return pathOf(m_folder.path()) / "dummyfile.dum"; }

    // The exit status, or nothing while it runs on.
    std::optional<DWORD> ended(std::chrono::milliseconds within) const
    {
        if (::WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(within.count())) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD status = 0;
        ::GetExitCodeProcess(m_process.hProcess, &status);
        return status;
    }

    std::chrono::milliseconds startTime{};

private:
    testsupport::TempFolder m_folder;
    std::filesystem::path m_exe;
    PROCESS_INFORMATION m_process{};
    HWND m_main = nullptr;
};

struct Closer {
    const char* name;
    std::function<void(const RunningProgram&)> close;
};

class ClosingTheProgram : public testing::TestWithParam<Closer> {};

TEST_P(ClosingTheProgram, RemovesTheTestFileAndEndsWithStatusZero)
{
    RunningProgram program;
    ASSERT_TRUE(program.mainWindow()) << "no main window appeared";
    std::printf("Dozozeda.exe showed its main window %lld ms after it was started\n",
                static_cast<long long>(program.startTime.count()));
    const HWND option = controlCaptioned(program.mainWindow(), L"10  MB");
    const HWND create = controlCaptioned(program.mainWindow(), L"Create dummyfile");
    const HWND testNetwork = controlCaptioned(program.mainWindow(), L"Test Network");
    ASSERT_TRUE(option && create && testNetwork);

    // Posted: the click's handler runs in the program's own loop.
    ::PostMessageW(option, BM_CLICK, 0, 0);
    ::PostMessageW(create, BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(testNetwork) != FALSE; }));
    std::error_code missing;
    EXPECT_EQ(std::filesystem::file_size(program.testFile(), missing), 10u * 1024 * 1024);

    GetParam().close(program);

    EXPECT_EQ(program.ended(10s), std::optional<DWORD>(0));
    EXPECT_FALSE(std::filesystem::exists(program.testFile()));
}

INSTANTIATE_TEST_SUITE_P(
    Win32, ClosingTheProgram,
    testing::Values(
        Closer{"AltF4",
               [](const RunningProgram& program) {
                   // To the control with the focus, as the keyboard would.
                   GUITHREADINFO thread{};
                   thread.cbSize = sizeof thread;
                   ::GetGUIThreadInfo(program.thread(), &thread);
                   const HWND target = thread.hwndFocus ? thread.hwndFocus : program.mainWindow();
                   const LPARAM altDown = 1 | LPARAM{::MapVirtualKeyW(VK_F4, MAPVK_VK_TO_VSC)} << 16 | LPARAM{1} << 29;
                   ::PostMessageW(target, WM_SYSKEYDOWN, VK_F4, altDown);
               }},
        Closer{"WmClose", [](const RunningProgram& program) { ::PostMessageW(program.mainWindow(), WM_CLOSE, 0, 0); }},
        Closer{"SessionEnd",
               [](const RunningProgram& program) {
                   DWORD_PTR agreed = 0;
                   ::SendMessageTimeoutW(program.mainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                         SMTO_ABORTIFHUNG, 5000, &agreed);
                   EXPECT_TRUE(agreed);
                   ::SendMessageTimeoutW(program.mainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                         SMTO_ABORTIFHUNG, 5000, nullptr);
                   // The system may end the process as soon as WM_ENDSESSION returns.
                   EXPECT_FALSE(std::filesystem::exists(program.testFile()));
               }}),
    [](const testing::TestParamInfo<Closer>& info) { return std::string(info.param.name); });

} // namespace
