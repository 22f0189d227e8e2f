#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h turns these into CopyFileW and DeleteFileW, which are not ours.
#undef CopyFile
#undef DeleteFile

#include "FileSystemObject.h"
#include "NativeFile.h"
#include "Paths.h"
#include "Runtime.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using platform::FileSystemObject;
using platform::normalizePath;
using testsupport::errorOf;
using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

std::wstring wide(const std::string& text)
{
    std::wstring result(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                                        static_cast<int>(result.size()));
    result.resize(static_cast<std::size_t>(n));
    return result;
}

std::string utf8(const std::wstring& text)
{
    std::string result(text.size() * 3, '\0');
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                                        static_cast<int>(result.size()), nullptr, nullptr);
    result.resize(static_cast<std::size_t>(n));
    return result;
}

bool existsOnDisk(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isReparsePoint(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Another program holding a file open with no sharing at all, the way an
// editor or a scanner on the file server may. The helper exits when its
// standard input closes, so it cannot outlive the test.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
    {
        const std::string exe = platform::executablePath();
        const std::string helper = exe.substr(0, exe.find_last_of('\\')) + "\\dozozeda_file_holder.exe";
        std::wstring commandLine = L"\"" + wide(helper) + L"\" \"" + wide(path) + L"\"";

        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childInput = nullptr;
        HANDLE childOutput = nullptr;
        if (!::CreatePipe(&childInput, &m_input, &inheritable, 0))
            return;
        if (!::CreatePipe(&m_output, &childOutput, &inheritable, 0)) {
            ::CloseHandle(childInput);
            return;
        }
        ::SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(m_output, HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        startup.hStdError = childOutput;
        const bool started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                              nullptr, nullptr, &startup, &m_process);
        ::CloseHandle(childInput);
        ::CloseHandle(childOutput);
        if (!started)
            return;
        ::CloseHandle(m_process.hThread);

        // The helper writes one line once the file is open, or exits.
        std::string said;
        char buffer[16];
        DWORD n = 0;
        while (said.find('\n') == std::string::npos && ::ReadFile(m_output, buffer, sizeof buffer, &n, nullptr) && n > 0)
            said.append(buffer, n);
        m_holding = said == "ready\n";
    }

    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    ~HeldFile()
    {
        if (m_input)
            ::CloseHandle(m_input);
        if (m_output)
            ::CloseHandle(m_output);
        if (m_process.hProcess) {
            if (::WaitForSingleObject(m_process.hProcess, 10000) != WAIT_OBJECT_0)
                ::TerminateProcess(m_process.hProcess, 1);
            ::CloseHandle(m_process.hProcess);
        }
    }

    bool holding() const { return m_holding; }

private:
    HANDLE m_input = nullptr;
    HANDLE m_output = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_holding = false;
};

// A folder made on a share for one test, removed again with its files.
class ShareFolder {
public:
    explicit ShareFolder(const std::string& share)
        : m_path(share + "\\dozozeda-test-" + std::to_string(::GetCurrentProcessId()) + "-"
                 + std::to_string(::GetTickCount64()))
    {
        m_created = ::CreateDirectoryW(wide(m_path).c_str(), nullptr);
    }
    ShareFolder(const ShareFolder&) = delete;
    ShareFolder& operator=(const ShareFolder&) = delete;
    ~ShareFolder()
    {
        WIN32_FIND_DATAW entry;
        const HANDLE search = ::FindFirstFileW(wide(m_path + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do
                ::DeleteFileW(wide(m_path + "\\" + utf8(entry.cFileName)).c_str());
            while (::FindNextFileW(search, &entry));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(wide(m_path).c_str());
    }

    bool created() const { return m_created; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_created = false;
};

} // namespace

TEST(WindowsPaths, DrivePathsWorkWithEitherSeparator)
{
    TempFolder source, target;
    const std::string into = normalizePath(target.path());
    ASSERT_EQ(into.substr(1, 2), ":\\");
    writeFile(source.file("dummyfile.dum"), std::string(2 * 1024 * 1024 + 7, 'X'));

    FileSystemObject fso;
    EXPECT_NO_THROW(fso.GetFolder(into + "/\\"));
    fso.CopyFile(source.path() + "\\/dummyfile.dum", into + "\\/", true);
    EXPECT_TRUE(fso.FileExists(target.path() + "//dummyfile.dum"));
    EXPECT_EQ(platform::FileLen(into + "\\\\dummyfile.dum"), 2 * 1024 * 1024 + 7);
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), std::string(2 * 1024 * 1024 + 7, 'X'));
    platform::DeleteFile(into + "/\\dummyfile.dum");
    EXPECT_FALSE(existsOnDisk(wide(into + "\\dummyfile.dum")));
}

// Needs a writable share: set DOZOZEDA_TEST_UNC_SHARE to "\\server\share"
// (scripts/windows-tests.sh maps one into its Wine prefix).
TEST(WindowsPaths, UncPathsWorkEndToEnd)
{
    const char* share = std::getenv("DOZOZEDA_TEST_UNC_SHARE");
    if (!share || !*share)
        GTEST_SKIP() << "DOZOZEDA_TEST_UNC_SHARE names no share";
    ShareFolder folder(share);
    ASSERT_TRUE(folder.created()) << folder.path();
    TempFolder source;
    const std::string data(3 * 1024 * 1024 + 1, 'X');
    writeFile(source.file("dummyfile.dum"), data);

    FileSystemObject fso;
    EXPECT_NO_THROW(fso.GetFolder(share));
    EXPECT_NO_THROW(fso.GetFolder(folder.path() + "\\"));
    // A folder typed as \\server\share\dir\ gets /dummyfile.dum appended.
    fso.CopyFile(source.file("dummyfile.dum"), folder.path() + "\\/", true);
    EXPECT_TRUE(fso.FileExists(folder.path() + "\\/dummyfile.dum"));
    EXPECT_EQ(platform::FileLen(folder.path() + "\\dummyfile.dum"), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(readFile(folder.path() + "\\dummyfile.dum"), data);

    std::string slashed = folder.path();
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    writeFile(source.file("dummyfile.dum"), "replaced");
    fso.CopyFile(source.file("dummyfile.dum"), slashed + "/", true);
    EXPECT_EQ(readFile(folder.path() + "\\dummyfile.dum"), "replaced");

    platform::DeleteFile(slashed + "//dummyfile.dum");
    EXPECT_FALSE(fso.FileExists(folder.path() + "\\dummyfile.dum"));
    EXPECT_NE(errorOf([&] { platform::DeleteFile(folder.path() + "\\dummyfile.dum"); })
                  .find("'" + folder.path() + "\\dummyfile.dum': No such file or directory"),
              std::string::npos);

    const std::string server = std::string(share).substr(0, std::string(share).find('\\', 2));
    const std::string missingShare = server + "\\dozozeda-no-such-share\\";
    EXPECT_FALSE(fso.FileExists(missingShare + "dummyfile.dum"));
    EXPECT_NE(errorOf([&] { fso.GetFolder(missingShare); }).find("No such file or directory"), std::string::npos);
}

TEST(WindowsPaths, AnUnreachableServerFailsInBoundedTime)
{
    const std::string folder = "\\\\no-such-server.invalid\\share\\";
    // Name resolution may stall; the test must not stall with it.
    auto outcome = std::make_shared<std::promise<std::string>>();
    auto result = outcome->get_future();
    std::thread([outcome, folder] { outcome->set_value(errorOf([&] { FileSystemObject().GetFolder(folder); })); })
        .detach();
    ASSERT_EQ(result.wait_for(30s), std::future_status::ready) << "looking up " << folder << " hangs";
    const std::string error = result.get();
    EXPECT_NE(error.find("'" + folder + "'"), std::string::npos) << error;
}

TEST(WindowsPaths, NonAsciiFolderNamesKeepTheirCharacters)
{
    TempFolder temp;
    const std::string folder = normalizePath(temp.path()) + "\\Übertragung-测试";
    const std::wstring wideFolder = wide(normalizePath(temp.path())) + L"\\\u00DCbertragung-\u6D4B\u8BD5";
    ASSERT_TRUE(::CreateDirectoryW(wideFolder.c_str(), nullptr));
    writeFile(temp.file("dummyfile.dum"), std::string(4096, 'X'));

    FileSystemObject fso;
    fso.CopyFile(temp.file("dummyfile.dum"), folder + "\\", true);
    // Checked with the system's own wide call: a name read through a code page
    // would be found again by the same mistake, just spelled wrongly on disk.
    EXPECT_TRUE(existsOnDisk(wideFolder + L"\\dummyfile.dum"));
    EXPECT_TRUE(fso.FileExists(folder + "/dummyfile.dum"));
    EXPECT_EQ(platform::FileLen(folder + "\\dummyfile.dum"), 4096);

    platform::DeleteFile(folder + "\\dummyfile.dum");
    EXPECT_FALSE(existsOnDisk(wideFolder + L"\\dummyfile.dum"));
    const std::string error = errorOf([&] { platform::DeleteFile(folder + "\\dummyfile.dum"); });
    EXPECT_EQ(error, "Cannot delete '" + folder + "\\dummyfile.dum': No such file or directory");
    // A system error keeps the name intact, too.
    EXPECT_NE(errorOf([&] { fso.CopyFile(folder + "\\absent.dum", temp.path() + "\\", true); })
                  .find("'" + folder + "\\absent.dum': "),
              std::string::npos);
}

TEST(WindowsPaths, OverwritingReplacesAHiddenOlderCopy)
{
    // CREATE_ALWAYS refuses to replace a hidden file unless asked to create a
    // hidden one; neither way of writing may trip over that.
    TempFolder source, target;
    const std::wstring older = wide(normalizePath(target.file("dummyfile.dum")));
    writeFile(source.file("dummyfile.dum"), "new");
    writeFile(target.file("dummyfile.dum"), "older copy");
    ASSERT_TRUE(::SetFileAttributesW(older.c_str(), FILE_ATTRIBUTE_HIDDEN));

    FileSystemObject fso;
    fso.CopyFile(source.file("dummyfile.dum"), target.path() + "\\", true);
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), "new");

    ASSERT_TRUE(::SetFileAttributesW(older.c_str(), FILE_ATTRIBUTE_HIDDEN));
    auto stream = fso.CreateTextFile(target.file("dummyfile.dum"), true);
    stream->write("text");
    platform::release(stream);
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), "text");
}

TEST(WindowsPaths, AFileHeldByAnotherProgramFailsTheCopyAndIsLeftAlone)
{
    TempFolder source, target;
    writeFile(source.file("dummyfile.dum"), "new");
    writeFile(target.file("dummyfile.dum"), "held");
    const std::string held = normalizePath(target.file("dummyfile.dum"));
    FileSystemObject fso;
    {
        HeldFile holder(held);
        ASSERT_TRUE(holder.holding());

        // Looking at a locked file only reads its attributes, which a lock allows.
        EXPECT_TRUE(fso.FileExists(held));
        EXPECT_EQ(platform::FileLen(held), 4);

        const auto start = std::chrono::steady_clock::now();
        const std::string intoHeld = errorOf([&] { fso.CopyFile(source.file("dummyfile.dum"), target.path() + "\\", true); });
        EXPECT_NE(intoHeld.find("'" + held + "': "), std::string::npos) << intoHeld;
        const std::string fromHeld = errorOf([&] { fso.CopyFile(held, source.path() + "\\copy.dum", true); });
        EXPECT_NE(fromHeld.find("'" + held + "': "), std::string::npos) << fromHeld;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), "held");
    EXPECT_FALSE(existsOnDisk(wide(normalizePath(source.file("copy.dum")))));

    fso.CopyFile(source.file("dummyfile.dum"), target.path() + "\\", true);
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), "new");
}

TEST(WindowsPaths, CopyOntoItselfIsRefusedHoweverThePathIsSpelled)
{
    TempFolder temp;
    const std::string data(4096, 'X');
    writeFile(temp.file("dummyfile.dum"), data);
    const std::string folder = normalizePath(temp.path());
    std::string shouted = folder;
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });

    for (const std::string& target : {folder + "\\", shouted + "\\", folder + "\\.\\", "\\\\?\\" + folder + "\\"}) {
        const std::string error = errorOf([&] { FileSystemObject().CopyFile(temp.file("dummyfile.dum"), target, true); });
        EXPECT_NE(error.find("it is the same file"), std::string::npos) << target << ": " << error;
        EXPECT_EQ(readFile(temp.file("dummyfile.dum")), data) << target;
    }
}

TEST(WindowsPaths, LinksAreReplacedAndDeletedNotFollowed)
{
    TempFolder source, target, elsewhere;
    writeFile(source.file("dummyfile.dum"), "XXXX");
    writeFile(elsewhere.file("precious"), "keep me");
    const std::wstring fileLink = wide(normalizePath(target.file("dummyfile.dum")));
    const std::wstring folderLink = wide(normalizePath(target.file("folder")));
    const DWORD unprivileged = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    ::CreateSymbolicLinkW(fileLink.c_str(), wide(normalizePath(elsewhere.file("precious"))).c_str(), unprivileged);
    ::CreateSymbolicLinkW(folderLink.c_str(), wide(normalizePath(elsewhere.path())).c_str(),
                          unprivileged | SYMBOLIC_LINK_FLAG_DIRECTORY);
    // Wine reports success without making a link; Windows needs developer mode or elevation.
    if (!isReparsePoint(fileLink) || !isReparsePoint(folderLink))
        GTEST_SKIP() << "cannot create symbolic links here";

    FileSystemObject().CopyFile(source.file("dummyfile.dum"), target.path() + "\\", true);
    EXPECT_FALSE(isReparsePoint(fileLink));
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), "XXXX");
    EXPECT_EQ(readFile(elsewhere.file("precious")), "keep me");

    platform::DeleteFile(target.file("folder"));
    EXPECT_FALSE(existsOnDisk(folderLink));
    EXPECT_EQ(readFile(elsewhere.file("precious")), "keep me");
}

TEST(WindowsPaths, ProgramFolderIsTheExecutablesFolderAndStaysClean)
{
    std::wstring exe(32768, L'\0');
    exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));

    EXPECT_EQ(platform::ProgramFolder(), utf8(folder));
    // Asking whether the folder is writable leaves no probe file behind.
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder + L"\\.dozozeda-probe-*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE)
        ::FindClose(search);
}
