#include "UncachedRead.h"

#include "PageCache.h"
#include "PlatformError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <utility>

namespace platform {

namespace {

// Used where statx cannot tell the alignment O_DIRECT wants: the page size,
// and every block device's logical block size up to it.
constexpr std::size_t kDefaultAlignment = 4096;

std::function<void()> beforeDirectReopen;

int openFile(const std::string& path, int flags)
{
    refuseNul(path);
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The file system does not do direct reads (older cifs, tmpfs before 6.6,
// ramfs, procfs, some FUSE daemons): the kernel answers EINVAL, a few
// file systems EOPNOTSUPP.
bool refusesDirectIo(int error)
{
    return error == EINVAL || error == EOPNOTSUPP;
}

std::size_t directIoAlignment(int fd)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) == 0 && (sx.stx_mask & STATX_DIOALIGN)
        && sx.stx_dio_offset_align > 0) {
        const std::size_t wanted = std::max(sx.stx_dio_offset_align, sx.stx_dio_mem_align);
        // Only a power of two can divide the block size.
        if ((wanted & (wanted - 1)) == 0 && wanted <= UncachedRead::kBlockSize)
            return wanted;
    }
    return kDefaultAlignment;
}

} // namespace

struct UncachedRead::Impl {
    std::string path;
    int fd = -1;
    ReadBypass bypass = ReadBypass::None;
    std::optional<double> resident;
    std::size_t alignment = 1;
    char* buffer = nullptr;
    // A direct read that returned a count that is not a whole unit has
    // reached the end; reading on from an unaligned offset would fail.
    bool ended = false;

    ~Impl()
    {
        if (fd >= 0)
            ::close(fd);
        std::free(buffer);
    }

    void allocate(std::size_t align)
    {
        void* memory = nullptr;
        const std::size_t boundary = std::max<std::size_t>(align, static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
        if (::posix_memalign(&memory, boundary, kBlockSize) != 0)
            throw Error("Cannot read " + quotedPath(path) + ": not enough memory for the read buffer");
        std::free(std::exchange(buffer, static_cast<char*>(memory)));
        alignment = align;
    }

    // Opens the file again with O_DIRECT and reads its first unit once.
    // Returns false when the file system will not read that way.
    bool goDirect(const struct stat& plain)
    {
        if (beforeDirectReopen)
            beforeDirectReopen();
        const int direct = openFile(path, O_DIRECT);
        if (direct < 0) {
            if (refusesDirectIo(errno))
                return false;
            throwSystemError("open for reading", path);
        }
        struct stat st {};
        if (::fstat(direct, &st) != 0 || st.st_dev != plain.st_dev || st.st_ino != plain.st_ino) {
            ::close(direct);
            throw Error("Cannot read " + quotedPath(path) + ": the file was replaced while it was being opened");
        }
        try {
            allocate(directIoAlignment(direct));
            // pread leaves the position at the start for the timed reads.
            ssize_t n;
            do {
                n = ::pread(direct, buffer, alignment, 0);
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                if (refusesDirectIo(errno)) {
                    ::close(direct);
                    return false;
                }
                throwSystemError("read", path);
            }
        } catch (...) {
            ::close(direct);
            throw;
        }
        ::close(std::exchange(fd, direct));
        return true;
    }
};

void setBeforeDirectReopen(std::function<void()> hook)
{
    beforeDirectReopen = std::move(hook);
}

UncachedRead::UncachedRead(const std::string& path)
    : m_impl(std::make_unique<Impl>())
{
    Impl& d = *m_impl;
    d.path = path;
    // A fresh descriptor: the writer's is closed, so no page is dirty or
    // mapped through it, and the advice below can drop every page.
    d.fd = openFile(path, 0);
    if (d.fd < 0)
        throwSystemError("open for reading", path);
    struct stat st {};
    if (::fstat(d.fd, &st) != 0)
        throwSystemError("look up", path);
    if (!S_ISREG(st.st_mode))
        throw Error("Cannot read " + quotedPath(path) + ": it is not a file");

    dropCachedPages(d.fd);
    d.resident = residentFraction(d.fd);
    if (d.resident && *d.resident == 0.0 && !hasLocalFileCache(d.fd)) {
        d.bypass = ReadBypass::FadviseDontNeed;
        d.allocate(1);
        return;
    }
    if (d.goDirect(st)) {
        d.bypass = ReadBypass::ODirect;
        return;
    }
    // Nothing keeps the cache out: read anyway and say so.
    d.bypass = ReadBypass::None;
    d.allocate(1);
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
    return m_impl->resident;
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
    ssize_t n;
    do {
        n = ::read(d.fd, d.buffer, kBlockSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        throwSystemError("read", d.path);
    if (static_cast<std::size_t>(n) % d.alignment != 0)
        d.ended = true;
    return {d.buffer, static_cast<std::size_t>(n)};
}

void UncachedRead::close()
{
    Impl& d = *m_impl;
    if (d.fd < 0)
        return;
    // As NativeFile::close: the descriptor is gone whatever close() answers.
    if (::close(std::exchange(d.fd, -1)) != 0 && errno != EINTR)
        throwSystemError("close", d.path);
}

} // namespace platform
