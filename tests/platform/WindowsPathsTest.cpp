#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h turns these into CopyFileW and DeleteFileW, which are not ours.
#undef CopyFile
#undef DeleteFile

#include "FileSystemObject.h"
#include "NativeFile.h"
#include "Paths.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using platform::FileSystemObject;
using testsupport::errorOf;
using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

// What a person types, as the program takes it.
platform::ResolvedPath typed(const std::string& text)
{
    return platform::resolvePath(text);
}

std::wstring wide(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end())).wstring();
}

// Asks the system's own wide call: a name that went through a code page would
// be found again by the same mistake, only spelled wrongly on disk.
bool existsOnDisk(const std::string& path)
{
    return ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string backslashed(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Copies over an older, hidden copy in `folder`, as typed, with both
// separators and a doubled one before the file name; then writes the file as
// text, deletes it, and deletes it again.
void roundTrip(const std::string& folder)
{
    SCOPED_TRACE(folder);
    const std::string file = backslashed(folder) + "\\dummyfile.dum";
    const auto hide = [&] { return ::SetFileAttributesW(wide(file).c_str(), FILE_ATTRIBUTE_HIDDEN); };
    TempFolder source;
    const std::string data(2 * 1024 * 1024 + 7, 'X');
    writeFile(source.file("dummyfile.dum"), data);
    writeFile(file, "older copy");
    ASSERT_TRUE(hide());

    FileSystemObject fso;
    EXPECT_NO_THROW(fso.GetFolder(typed(folder + "/\\")));
    fso.CopyFile(typed(source.path() + "\\/dummyfile.dum"), typed(folder + "\\/dummyfile.dum"), true);
    EXPECT_TRUE(existsOnDisk(file));
    EXPECT_TRUE(fso.FileExists(typed(folder + "//dummyfile.dum")));
    EXPECT_EQ(platform::FileLen(typed(folder + "\\\\dummyfile.dum")), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(readFile(file), data);

    // Replacing a hidden file is where CREATE_ALWAYS would refuse.
    ASSERT_TRUE(hide());
    auto stream = fso.CreateTextFile(typed(folder + "/\\dummyfile.dum"), true);
    stream->write("text");
    platform::release(stream);
    EXPECT_EQ(readFile(file), "text");

    platform::DeleteFile(typed(folder + "/\\dummyfile.dum"));
    EXPECT_FALSE(existsOnDisk(file));
    EXPECT_EQ(errorOf([&] { platform::DeleteFile(typed(folder + "//dummyfile.dum")); }),
              "Cannot delete '" + file + "': No such file or directory");
}

// Another program holding a file open with no sharing at all, the way an
// editor or a scanner on the file server may, until the object goes away.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
    {
        const std::wstring ready = L"dozozeda-held-" + std::to_wstring(::GetCurrentProcessId());
        m_ready = ::CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
        const std::string exe = platform::executablePath();
        std::wstring command = L"\"" + wide(exe.substr(0, exe.find_last_of('\\'))) + L"\\dozozeda_file_holder.exe\" \""
            + wide(path) + L"\" " + ready;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!m_ready
            || !::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &startup, &m_process))
            return;
        ::CloseHandle(m_process.hThread);
        const HANDLE either[] = {m_ready, m_process.hProcess};
        m_holding = ::WaitForMultipleObjects(2, either, FALSE, 10'000) == WAIT_OBJECT_0;
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile()
    {
        if (m_process.hProcess) {
            ::TerminateProcess(m_process.hProcess, 0);
            ::WaitForSingleObject(m_process.hProcess, 10'000);
            ::CloseHandle(m_process.hProcess);
        }
        if (m_ready)
            ::CloseHandle(m_ready);
    }

    bool holding() const { return m_holding; }

private:
    HANDLE m_ready = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_holding = false;
};

} // namespace

TEST(WindowsPaths, DriveFoldersWithNonAsciiNamesTakeEitherSeparator)
{
    TempFolder temp;
    const std::string folder = temp.path() + "/Übertragung-测试";
    ASSERT_TRUE(::CreateDirectoryW(wide(folder).c_str(), nullptr));
    ASSERT_EQ(platform::normalizeWindowsPath(folder).substr(1, 2), ":\\");
    roundTrip(folder);
    roundTrip(platform::normalizeWindowsPath(folder));
}

// Needs a writable share: set DOZOZEDA_TEST_UNC_SHARE to "\\server\share"
// (scripts/windows-tests.sh maps one into its Wine prefix).
TEST(WindowsPaths, UncFoldersTakeEitherSeparator)
{
    const char* share = std::getenv("DOZOZEDA_TEST_UNC_SHARE");
    if (!share || !*share)
        GTEST_SKIP() << "DOZOZEDA_TEST_UNC_SHARE names no share";
    const std::string folder = std::string(share) + "\\dozozeda-test-" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(wide(folder).c_str(), nullptr)) << folder;
    EXPECT_NO_THROW(FileSystemObject().GetFolder(typed(share)));
    roundTrip(folder);
    std::string slashed = folder;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    roundTrip(slashed);
    EXPECT_TRUE(::RemoveDirectoryW(wide(folder).c_str()));
}

// Windows reaches shares by UNC path only; smb:// is translated, escapes and all.
TEST(WindowsPaths, SmbAddressesReachTheSameShareAsItsUncPath)
{
    const char* share = std::getenv("DOZOZEDA_TEST_UNC_SHARE");
    if (!share || !*share)
        GTEST_SKIP() << "DOZOZEDA_TEST_UNC_SHARE names no share";
    const std::string name = "dozozeda test-" + std::to_string(::GetCurrentProcessId());
    const std::string folder = std::string(share) + "\\" + name;
    std::string url = "smb:" + std::string(share) + "/dozozeda%20test-" + std::to_string(::GetCurrentProcessId());
    std::replace(url.begin(), url.end(), '\\', '/');
    ASSERT_TRUE(::CreateDirectoryW(wide(folder).c_str(), nullptr)) << folder;
    TempFolder source;
    writeFile(source.file("dummyfile.dum"), "0123456789");

    FileSystemObject fso;
    EXPECT_NO_THROW(fso.GetFolder(typed(url + "\\")));
    fso.CopyFile(source.at("dummyfile.dum"), typed(url + "\\/dummyfile.dum"), true);
    EXPECT_EQ(readFile(folder + "\\dummyfile.dum"), "0123456789");
    EXPECT_EQ(platform::FileLen(typed(url + "\\/dummyfile.dum")), 10);
    platform::DeleteFile(typed(url + "\\/dummyfile.dum"));
    EXPECT_FALSE(existsOnDisk(folder + "\\dummyfile.dum"));
    EXPECT_TRUE(::RemoveDirectoryW(wide(folder).c_str()));

    const std::string port = errorOf([] { typed("smb://nas:1445/media\\"); });
    EXPECT_EQ(port, "Cannot reach smb://nas:1445/media through a Windows share path: it cannot name port 1445, only "
                    "the standard port 445");
}

// "\\\\?\\C:\\..." is the local drive, so a share address never becomes one;
// typed as a path, it is the local path it names.
TEST(WindowsPaths, AShareAddressNeverBecomesALocalDrive)
{
    TempFolder temp;
    const std::string folder = backslashed(temp.path());
    ASSERT_EQ(folder.substr(1, 2), ":\\");
    std::string below = folder.substr(3);
    std::replace(below.begin(), below.end(), '\\', '/');
    for (const std::string& address : {"smb://?/" + folder.substr(0, 2) + "/" + below, "smb://%3F/C:/" + below,
                                       "smb://?/UNC/localhost/C$/" + below, std::string("smb://?/GLOBALROOT/Device/x"),
                                       "smb://./C:/" + below}) {
        const std::string error = errorOf([&] { typed(address + "/"); });
        EXPECT_TRUE(error.starts_with("Cannot use ")) << address << ": " << error;
    }
    const platform::ResolvedPath longPath = typed("\\\\?\\" + folder);
    EXPECT_EQ(longPath.native(), "\\\\?\\" + folder);
    EXPECT_NO_THROW(FileSystemObject().GetFolder(longPath));
}

TEST(WindowsPaths, AnUnreachableServerFailsInBoundedTime)
{
    const std::string folder = "\\\\no-such-server.invalid\\share\\";
    // Name resolution may stall; the test must not stall with it.
    auto outcome = std::make_shared<std::promise<std::string>>();
    auto result = outcome->get_future();
    std::thread([outcome, folder] { outcome->set_value(errorOf([&] { FileSystemObject().GetFolder(typed(folder)); })); })
        .detach();
    ASSERT_EQ(result.wait_for(30s), std::future_status::ready) << "looking up " << folder << " hangs";
    const std::string error = result.get();
    EXPECT_NE(error.find("'" + folder + "'"), std::string::npos) << error;
}

TEST(WindowsPaths, AFileHeldByAnotherProgramFailsTheCopyAtOnceAndIsLeftAlone)
{
    TempFolder source, target;
    writeFile(source.file("dummyfile.dum"), "new");
    writeFile(target.file("dummyfile.dum"), "held");
    const std::string held = backslashed(target.file("dummyfile.dum"));
    FileSystemObject fso;
    {
        HeldFile holder(held);
        ASSERT_TRUE(holder.holding());
        // Looking at a held file only reads its attributes, which holding allows.
        EXPECT_TRUE(fso.FileExists(typed(held)));
        EXPECT_EQ(platform::FileLen(typed(held)), 4);

        const auto start = std::chrono::steady_clock::now();
        const std::string into = errorOf([&] { fso.CopyFile(source.at("dummyfile.dum"), typed(held), true); });
        EXPECT_NE(into.find("'" + held + "': "), std::string::npos) << into;
        const std::string from = errorOf([&] { fso.CopyFile(typed(held), source.at("copy.dum"), true); });
        EXPECT_NE(from.find("'" + held + "': "), std::string::npos) << from;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
    EXPECT_EQ(readFile(held), "held");
    EXPECT_FALSE(existsOnDisk(source.file("copy.dum")));
    fso.CopyFile(source.at("dummyfile.dum"), typed(held), true);
    EXPECT_EQ(readFile(held), "new");
}

TEST(WindowsPaths, ProgramFolderIsTheExecutablesFolderAndStaysClean)
{
    std::wstring exe(32768, L'\0');
    exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    const std::filesystem::path folder = std::filesystem::path(exe).parent_path();

    EXPECT_EQ(wide(platform::ProgramFolder()), folder.wstring());
    // Asking whether the folder is writable leaves no probe file behind.
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_FALSE(entry.path().filename().wstring().starts_with(L".dozozeda-probe-")) << entry.path();
}
