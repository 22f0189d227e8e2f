#include "NativeFile.h"

#include "PlatformError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

int fd(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

const char* systemPath(const std::string& path)
{
    refuseNul(path);
    return path.c_str();
}

EntryInfo toEntryInfo(const struct stat& st)
{
    EntryInfo info;
    if (S_ISREG(st.st_mode))
        info.type = EntryType::RegularFile;
    else if (S_ISDIR(st.st_mode))
        info.type = EntryType::Directory;
    info.size = static_cast<std::int64_t>(st.st_size);
    info.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return info;
}

std::optional<EntryInfo> lookup(const std::string& path, bool followLink)
{
    struct stat st {};
    const int rc = followLink ? ::stat(systemPath(path), &st) : ::lstat(systemPath(path), &st);
    if (rc == 0)
        return toEntryInfo(st);
    if (errno == ENOENT || errno == ENOTDIR)
        return std::nullopt;
    throwSystemError("look up", path);
}

} // namespace

std::string lastSystemErrorText()
{
    return std::strerror(errno);
}

std::error_code lastSystemError()
{
    return {errno, std::generic_category()};
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
    if (::unlink(systemPath(path)) != 0)
        throwSystemError("delete", path);
}

bool isWritableFolder(const std::string& folder)
{
    // access() also answers EROFS for a read-only mount, which matters when
    // running as root, where permission bits are not enforced.
    return ::access(systemPath(folder), W_OK | X_OK) == 0;
}

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n < 0)
        throwSystemError("find the program file", "/proc/self/exe");
    return std::string(buffer, static_cast<std::size_t>(n));
}

NativeFile NativeFile::open(const std::string& path, Mode mode)
{
    int flags = O_CLOEXEC;
    const char* action = "open";
    switch (mode) {
    case Mode::Read:
        flags |= O_RDONLY;
        action = "open for reading";
        break;
    case Mode::WriteTruncate:
        // A link planted under the file's name must not aim the write elsewhere.
        flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
        action = "open for writing";
        break;
    case Mode::WriteCreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        action = "create";
        break;
    }
    int handle;
    do {
        handle = ::open(systemPath(path), flags, 0666);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0)
        throwSystemError(action, path);
    return NativeFile(handle, path);
}

void NativeFile::writeAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd(m_handle), data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError("write", m_path);
        }
        // A file system that accepts nothing would otherwise keep us here forever.
        if (n == 0)
            throwError("write", m_path, std::errc::io_error);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::size_t NativeFile::read(char* data, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd(m_handle), data, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throwSystemError("read", m_path);
    }
}

void NativeFile::sync()
{
    if (::fsync(fd(m_handle)) != 0)
        throwSystemError("flush", m_path);
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    // The descriptor is gone whatever close() answers; retrying could close
    // a descriptor that another thread has opened meanwhile.
    const int rc = ::close(fd(std::exchange(m_handle, kClosedHandle)));
    if (rc != 0 && errno != EINTR)
        throwSystemError("close", m_path);
}

void NativeFile::discard() noexcept
{
    if (isOpen())
        ::close(fd(std::exchange(m_handle, kClosedHandle)));
}

FileIdentity NativeFile::identity() const
{
    struct stat st {};
    if (::fstat(fd(m_handle), &st) != 0)
        throwSystemError("look up", m_path);
    return toEntryInfo(st).identity;
}

} // namespace platform
