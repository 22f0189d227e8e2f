#include "PageCache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace platform {

namespace {

// cachestat(2), Linux 6.5. glibc 2.36 (Debian 12) has neither a wrapper nor
// the number; 451 is the same on every architecture that has the syscall
// table in common, x86-64 included.
#ifdef SYS_cachestat
constexpr long kCachestat = SYS_cachestat;
#else
constexpr long kCachestat = 451;
#endif

struct CachestatRange {
    std::uint64_t offset;
    std::uint64_t length;  // 0: to the end of the file
};

struct Cachestat {
    std::uint64_t cached;
    std::uint64_t dirty;
    std::uint64_t writeback;
    std::uint64_t evicted;
    std::uint64_t recentlyEvicted;
};

std::optional<std::int64_t> fileSize(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

std::uint64_t pageSize()
{
    static const auto size = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

std::uint64_t pagesOf(std::int64_t bytes)
{
    return (static_cast<std::uint64_t>(bytes) + pageSize() - 1) / pageSize();
}

bool listsOption(const std::string& options, std::string_view wanted)
{
    std::size_t start = 0;
    while (start <= options.size()) {
        const std::size_t end = std::min(options.find(',', start), options.size());
        if (std::string_view(options).substr(start, end - start) == wanted)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::optional<double> residentFractionByCachestat(int fd)
{
    const auto size = fileSize(fd);
    if (!size)
        return std::nullopt;
    CachestatRange range{0, 0};
    Cachestat stat{};
    if (::syscall(kCachestat, fd, &range, &stat, 0) != 0)
        return std::nullopt;
    const std::uint64_t pages = pagesOf(*size);
    if (pages == 0)
        return 0.0;
    return std::min(1.0, static_cast<double>(stat.cached) / static_cast<double>(pages));
}

std::optional<double> residentFractionByMincore(int fd)
{
    const auto size = fileSize(fd);
    if (!size)
        return std::nullopt;
    if (*size == 0)
        return 0.0;
    const auto length = static_cast<std::size_t>(*size);
    // A shared read-only mapping touches nothing: mincore only looks at the
    // pages the file already has in memory.
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return std::nullopt;
    const std::uint64_t pages = pagesOf(*size);
    const auto vector = std::make_unique<unsigned char[]>(pages);
    const int rc = ::mincore(map, length, vector.get());
    ::munmap(map, length);
    if (rc != 0)
        return std::nullopt;
    const auto resident = std::count_if(vector.get(), vector.get() + pages, [](unsigned char v) { return v & 1; });
    return static_cast<double>(resident) / static_cast<double>(pages);
}

std::optional<double> residentFraction(int fd)
{
    if (const auto fraction = residentFractionByCachestat(fd))
        return fraction;
    return residentFractionByMincore(fd);
}

bool dropCachedPages(int fd)
{
    // Returns the error number itself rather than setting errno.
    return ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
}

bool hasLocalFileCache(const std::vector<MountEntry>& mounts, const std::string& device)
{
    // Bind mounts of one file system share its device; the option belongs to
    // the file system, so any of its lines that lists it counts.
    return std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& mount) {
        return mount.device == device && (listsOption(mount.superOptions, "fsc") || listsOption(mount.mountOptions, "fsc"));
    });
}

bool hasLocalFileCache(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    const std::string device = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    return hasLocalFileCache(parseMountInfo(readMountInfo()), device);
}

} // namespace platform
