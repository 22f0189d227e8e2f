#include "Folder.h"

#include "PlatformError.h"
#include "Utf16.h"

#include <windows.h>

#include <cwchar>

namespace platform {

namespace {

// The failures a caller tells apart by their code are given the portable
// one, as on POSIX; the others keep the system's own.
[[noreturn]] void fail(const std::string& action, const std::string& path)
{
    switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        throwError(action, path, std::errc::file_exists);
    case ERROR_DIR_NOT_EMPTY:
        throwError(action, path, std::errc::directory_not_empty);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        throwError(action, path, std::errc::no_such_file_or_directory);
    default:
        throwSystemError(action, path);
    }
}

} // namespace

void createFolder(const ResolvedPath& folder)
{
    // Fails with ERROR_ALREADY_EXISTS for any entry of the name.
    if (!::CreateDirectoryW(systemPath(folder.native()).c_str(), nullptr))
        fail("create the folder", folder.native());
}

void removeFolder(const ResolvedPath& folder)
{
    if (!::RemoveDirectoryW(systemPath(folder.native()).c_str()))
        fail("remove the folder", folder.native());
}

struct FolderListing::Impl {
    std::string path;
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    // The first entry comes with the handle; it is handed out at the first call.
    bool pending = false;
    std::string name;

    ~Impl()
    {
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
    }
};

FolderListing::FolderListing(const ResolvedPath& folder)
    : m_impl(std::make_unique<Impl>())
{
    Impl& d = *m_impl;
    d.path = folder.native();
    std::wstring pattern = systemPath(d.path);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    // The basic information leaves out the short 8.3 name, and the large
    // fetch asks a server for many entries per round trip.
    d.find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &d.data, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (d.find == INVALID_HANDLE_VALUE) {
        // Some servers leave "." and ".." out: an empty folder then answers
        // that nothing matched, which a missing folder never does.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        fail("list the folder", d.path);
    }
    d.pending = true;
}

FolderListing::FolderListing(FolderListing&&) noexcept = default;
FolderListing& FolderListing::operator=(FolderListing&&) noexcept = default;
FolderListing::~FolderListing() = default;

std::optional<std::string_view> FolderListing::next()
{
    Impl& d = *m_impl;
    if (d.find == INVALID_HANDLE_VALUE)
        return std::nullopt;
    for (;;) {
        if (!d.pending) {
            if (!::FindNextFileW(d.find, &d.data)) {
                if (::GetLastError() == ERROR_NO_MORE_FILES)
                    return std::nullopt;
                fail("list the folder", d.path);
            }
        }
        d.pending = false;
        const wchar_t* name = d.data.cFileName;
        if (std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0) {
            d.name = narrow(name, std::wcslen(name));
            return std::string_view(d.name);
        }
    }
}

} // namespace platform
