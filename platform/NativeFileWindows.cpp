#include "NativeFile.h"

#include "PlatformError.h"
#include "Utf16.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <utility>

namespace platform {

namespace {

// ReadFile and WriteFile count in DWORDs.
constexpr std::size_t kMaxTransfer = 1u << 30;

HANDLE toHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// Closes a handle that only lives for one lookup.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle)
        : m_handle(handle)
    {
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { ::CloseHandle(m_handle); }

private:
    HANDLE m_handle;
};

// A missing share on a reachable server is as absent as a missing folder; an
// unreachable server (ERROR_BAD_NETPATH) is a failure the user must hear about.
bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_NET_NAME;
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    if (index == 0) {
        // Some network redirectors report no file index. Such files must
        // never look like one another, or every copy would be refused as a
        // copy onto itself; a real one still fails safely, because the open
        // source refuses to be deleted. The serial is 32 bits, so this device
        // is unique.
        static std::atomic<std::uint64_t> unknown{0};
        return {~std::uint64_t{0}, ++unknown};
    }
    return {info.dwVolumeSerialNumber, index};
}

bool isLink(HANDLE handle, DWORD attributes)
{
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // Only name surrogates (symbolic links, junctions) point elsewhere; other
    // reparse points (deduplicated or cloud files) behave as what they hold.
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return false;
    return IsReparseTagNameSurrogate(tag.ReparseTag);
}

// No access rights asked for: this reads attributes only, so it works on
// files that another program holds open without sharing.
HANDLE openEntry(const std::wstring& name, bool followLink)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
}

bool isFolderLink(const std::wstring& name)
{
    const HANDLE handle = openEntry(name, false);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const ScopedHandle scoped(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        && isLink(handle, info.dwFileAttributes);
}

std::optional<EntryInfo> lookup(const std::string& path, bool followLink)
{
    const HANDLE handle = openEntry(systemPath(path), followLink);
    if (handle == INVALID_HANDLE_VALUE) {
        if (isMissing(::GetLastError()))
            return std::nullopt;
        throwSystemError("look up", path);
    }
    const ScopedHandle scoped(handle);

    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        throwSystemError("look up", path);

    EntryInfo entry;
    if (!followLink && isLink(handle, info.dwFileAttributes))
        entry.type = EntryType::Other;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        entry.type = EntryType::Directory;
    else if (::GetFileType(handle) == FILE_TYPE_DISK)
        entry.type = EntryType::RegularFile;
    entry.size = static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
    entry.identity = identityOf(info);
    return entry;
}

} // namespace

std::error_code lastSystemError()
{
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

std::string lastSystemErrorText()
{
    const DWORD code = ::GetLastError();
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    // The messages end in ".\r\n" and a few break lines in the middle; the
    // reason goes at the end of one line of ours.
    std::string text;
    for (const char c : narrow(buffer, length)) {
        const bool space = c == ' ' || c == '\r' || c == '\n' || c == '\t';
        if (!space)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    ::LocalFree(buffer);
    const auto end = text.find_last_not_of(" .");
    text.erase(end == std::string::npos ? 0 : end + 1);
    if (text.empty())
        return "System error " + std::to_string(code);
    return text;
}

std::optional<EntryInfo> lookupEntry(const std::string& path)
{
    return lookup(path, false);
}

std::optional<EntryInfo> lookupTarget(const std::string& path)
{
    return lookup(path, true);
}

void removeEntry(const std::string& path)
{
    const std::wstring name = systemPath(path);
    if (::DeleteFileW(name.c_str()))
        return;
    // A link to a folder is itself a folder entry to Windows: DeleteFileW
    // refuses it and RemoveDirectoryW removes the link, not what it points to.
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED && isFolderLink(name)) {
        if (::RemoveDirectoryW(name.c_str()))
            return;
    } else {
        ::SetLastError(error);
    }
    throwSystemError("delete", path);
}

bool isWritableFolder(const std::string& folder)
{
    // Permissions on Windows are ACLs, read-only media and shares with their
    // own rules; creating a file is the only question every one of them answers.
    static std::atomic<unsigned> counter{0};
    std::wstring base = systemPath(folder);
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base += L'\\';
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::wstring probe = base + L".dozozeda-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-"
            + std::to_wstring(++counter) + L".tmp";
        const HANDLE handle = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                            nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

std::string executablePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            throwSystemError("find the program file", "");
        // A full buffer means the name was cut short.
        if (n < buffer.size())
            return narrow(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

NativeFile NativeFile::open(const std::string& path, Mode mode)
{
    // Others may read what we write, but nobody may change or delete a file
    // while it is being measured.
    const DWORD share = FILE_SHARE_READ;
    DWORD access = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    const char* action = "open";
    switch (mode) {
    case Mode::Read:
        access = GENERIC_READ;
        flags |= FILE_FLAG_SEQUENTIAL_SCAN;
        action = "open for reading";
        break;
    case Mode::WriteTruncate:
        // Not CREATE_ALWAYS: that refuses an existing hidden or system file.
        // The link itself is opened, not what it points to, so that a link
        // planted under the file's name cannot aim the write elsewhere.
        disposition = OPEN_ALWAYS;
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        action = "open for writing";
        break;
    case Mode::WriteCreateNew:
        disposition = CREATE_NEW;
        action = "create";
        break;
    }
    const HANDLE handle = ::CreateFileW(systemPath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throwSystemError(action, path);
    NativeFile file(reinterpret_cast<std::intptr_t>(handle), path);
    if (mode == Mode::WriteTruncate) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(handle, &info))
            throwSystemError(action, path);
        if (isLink(handle, info.dwFileAttributes)) {
            // What POSIX's O_NOFOLLOW answers for the same case.
            ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            throwSystemError(action, path);
        }
        if (!::SetEndOfFile(handle))
            throwSystemError(action, path);
    }
    return file;
}

void NativeFile::writeAll(const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min(size, kMaxTransfer));
        if (!::WriteFile(toHandle(m_handle), data, chunk, &written, nullptr))
            throwSystemError("write", m_path);
        if (written == 0) {
            // Success without progress would loop for ever.
            ::SetLastError(ERROR_WRITE_FAULT);
            throwSystemError("write", m_path);
        }
        data += written;
        size -= written;
    }
}

std::size_t NativeFile::read(char* data, std::size_t size)
{
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min(size, kMaxTransfer));
    if (!::ReadFile(toHandle(m_handle), data, chunk, &n, nullptr))
        throwSystemError("read", m_path);
    return n;
}

void NativeFile::sync()
{
    if (!::FlushFileBuffers(toHandle(m_handle)))
        throwSystemError("flush", m_path);
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    if (!::CloseHandle(toHandle(std::exchange(m_handle, kClosedHandle))))
        throwSystemError("close", m_path);
}

void NativeFile::discard() noexcept
{
    if (isOpen())
        ::CloseHandle(toHandle(std::exchange(m_handle, kClosedHandle)));
}

FileIdentity NativeFile::identity() const
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(toHandle(m_handle), &info))
        throwSystemError("look up", m_path);
    return identityOf(info);
}

} // namespace platform
