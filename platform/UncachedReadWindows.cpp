#include "UncachedRead.h"

#include "PlatformError.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <utility>

namespace platform {

namespace {

// CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 174, METHOD_BUFFERED, FILE_ANY_ACCESS),
// as DiskSpd's -Sr sends it; mingw-w64's headers do not define it. Only the
// SMB redirector of Windows 8 and later knows it: it turns off the client's
// cache of this open file and keeps the server's.
constexpr DWORD kDisableLocalBuffering = 0x000902B8;

// Used where the file system does not tell its sector size: a whole number
// of every sector size in use (512, 4096).
constexpr DWORD kDefaultSectorSize = 4096;

std::wstring widen(const std::string& text)
{
    refuseNul(text);
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

// Others may read the file meanwhile, nobody may change it.
HANDLE openForReading(const std::wstring& name, DWORD flags)
{
    return ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

DWORD sectorSize(HANDLE handle)
{
    // "The smallest size for which uncached I/O is supported" (Windows 8 and
    // later; a redirector may not answer for a share).
    FILE_STORAGE_INFO info{};
    if (::GetFileInformationByHandleEx(handle, FileStorageInfo, &info, sizeof info)) {
        const DWORD size = info.LogicalBytesPerSector;
        if (size >= 512 && (size & (size - 1)) == 0 && size <= UncachedRead::kBlockSize)
            return size;
    }
    return kDefaultSectorSize;
}

} // namespace

struct UncachedRead::Impl {
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    ReadBypass bypass = ReadBypass::None;
    std::size_t alignment = 1;
    // VirtualAlloc: page-aligned (in practice 64 KiB), so on a sector boundary.
    char* buffer = nullptr;
    // An unbuffered read that returned part of a sector has reached the end.
    bool ended = false;

    ~Impl()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
        if (buffer)
            ::VirtualFree(buffer, 0, MEM_RELEASE);
    }

    void allocate()
    {
        buffer = static_cast<char*>(::VirtualAlloc(nullptr, kBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!buffer)
            throwSystemError("read", path);
    }

    // Opens the file again with FILE_FLAG_NO_BUFFERING and reads its first
    // sector once. Returns false when that way is refused.
    bool goUnbuffered(const std::wstring& name)
    {
        const HANDLE unbuffered = openForReading(name, FILE_FLAG_NO_BUFFERING);
        if (unbuffered == INVALID_HANDLE_VALUE)
            return false;
        const DWORD sector = sectorSize(unbuffered);
        DWORD n = 0;
        LARGE_INTEGER start{};
        if (!::ReadFile(unbuffered, buffer, sector, &n, nullptr)) {
            const DWORD error = ::GetLastError();
            ::CloseHandle(unbuffered);
            if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED)
                return false;
            ::SetLastError(error);
            throwSystemError("read", path);
        }
        if (!::SetFilePointerEx(unbuffered, start, nullptr, FILE_BEGIN)) {
            const DWORD error = ::GetLastError();
            ::CloseHandle(unbuffered);
            ::SetLastError(error);
            throwSystemError("read", path);
        }
        ::CloseHandle(std::exchange(handle, unbuffered));
        alignment = sector;
        return true;
    }
};

UncachedRead::UncachedRead(const std::string& path)
    : m_impl(std::make_unique<Impl>())
{
    Impl& d = *m_impl;
    d.path = path;
    const std::wstring name = widen(path);
    d.handle = openForReading(name, 0);
    if (d.handle == INVALID_HANDLE_VALUE)
        throwSystemError("open for reading", path);
    if (::GetFileType(d.handle) != FILE_TYPE_DISK)
        throw Error("Cannot read " + quotedPath(path) + ": it is not a file");
    d.allocate();

    DWORD returned = 0;
    if (::DeviceIoControl(d.handle, kDisableLocalBuffering, nullptr, 0, nullptr, 0, &returned, nullptr)) {
        d.bypass = ReadBypass::DisableLocalBuffering;
        return;
    }
    // Local files, shares on servers before Windows 8, and Wine land here.
    if (d.goUnbuffered(name)) {
        d.bypass = ReadBypass::NoBuffering;
        return;
    }
    d.bypass = ReadBypass::None;
}

UncachedRead::UncachedRead(UncachedRead&&) noexcept = default;
UncachedRead& UncachedRead::operator=(UncachedRead&&) noexcept = default;
UncachedRead::~UncachedRead() = default;

ReadBypass UncachedRead::bypass() const
{
    return m_impl->bypass;
}

std::optional<double> UncachedRead::residentBefore() const
{
    // Windows has no way to ask what its cache holds of a file.
    return std::nullopt;
}

std::size_t UncachedRead::alignment() const
{
    return m_impl->alignment;
}

const std::string& UncachedRead::path() const
{
    return m_impl->path;
}

std::span<const char> UncachedRead::next()
{
    Impl& d = *m_impl;
    if (d.ended)
        return {};
    DWORD n = 0;
    if (!::ReadFile(d.handle, d.buffer, static_cast<DWORD>(kBlockSize), &n, nullptr))
        throwSystemError("read", d.path);
    if (n % d.alignment != 0)
        d.ended = true;
    return {d.buffer, n};
}

void UncachedRead::close()
{
    Impl& d = *m_impl;
    if (d.handle == INVALID_HANDLE_VALUE)
        return;
    if (!::CloseHandle(std::exchange(d.handle, INVALID_HANDLE_VALUE)))
        throwSystemError("close", d.path);
}

} // namespace platform
