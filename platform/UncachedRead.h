#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace platform {

// How a read keeps this machine's own cache of the file out of what it reads.
enum class ReadBypass {
    FadviseDontNeed,        // Linux: cached pages dropped, none left before the read
    ODirect,                // Linux: opened with O_DIRECT
    DisableLocalBuffering,  // Windows: FSCTL_DISABLE_LOCAL_BUFFERING on the open file
    NoBuffering,            // Windows: FILE_FLAG_NO_BUFFERING, whole sectors
    None,                   // nothing worked: what is read may come from this machine's memory
};

// A file opened to be read once from start to end past this machine's cache,
// in the most faithful way the system and the file system allow. Opening
// does all the preparing (opening, dropping the cache, choosing the way,
// allocating the buffer) and reads nothing that is kept, so that whoever
// times the read can start the clock after it.
//
// Linux, in this order:
//  1. open O_RDONLY (the writer has fsynced and closed the file) and drop
//     the file's cached pages (posix_fadvise DONTNEED);
//  2. if no page is left (cachestat, else mincore) and the mount has no
//     local file cache (`fsc`): plain reads, FadviseDontNeed. Plain reads
//     keep the kernel's readahead, which a FUSE client needs to reach the
//     speed that `cp` gets, and send nothing unusual to the server;
//  3. else open again with O_DIRECT, buffer and sizes aligned (statx's
//     DIOALIGN where it says, else 4096), and read the first aligned unit
//     once to see that the file system takes such reads: ODirect;
//  4. else (EINVAL or EOPNOTSUPP from that open or read): plain reads on the
//     first descriptor, None.
// Windows, in this order:
//  1. open, then FSCTL_DISABLE_LOCAL_BUFFERING: DisableLocalBuffering (the
//     SMB redirector's cache is off; the server's is kept);
//  2. else open again with FILE_FLAG_NO_BUFFERING, whole sectors (the
//     FileStorageInfo's logical sector, else 4096) into a VirtualAlloc'd
//     buffer, after one sector has been read to see that it works:
//     NoBuffering;
//  3. else the first handle as it is: None.
//
// Every failure throws platform::Error naming the path.
class UncachedRead {
public:
    // Bytes asked for per read: large, so that a network client keeps
    // several requests in flight even without readahead (O_DIRECT), and a
    // whole number of any sector or page size.
    static constexpr std::size_t kBlockSize = std::size_t{4} << 20;

    explicit UncachedRead(const std::string& path);
    UncachedRead(UncachedRead&&) noexcept;
    UncachedRead& operator=(UncachedRead&&) noexcept;
    ~UncachedRead();

    ReadBypass bypass() const;
    // The share of the file in the page cache just before the first read,
    // after the cache was dropped; nothing where that cannot be told
    // (Windows, or a file that can be neither mapped nor cachestat'ed).
    std::optional<double> residentBefore() const;
    // What offsets, sizes and the buffer's address are whole multiples of
    // for this way of reading (1 for plain reads).
    std::size_t alignment() const;

    // The next part of the file, in a buffer this object owns and reuses
    // (valid until the next call); empty at the end of the file. At most
    // kBlockSize bytes; fewer only at the end, or where the file system
    // hands out less per call.
    std::span<const char> next();

    // Closes the file, reporting failures.
    void close();

    const std::string& path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

#ifdef __linux__
// For tests: called between the first open and the O_DIRECT one, where
// another program could put a different file under the name.
void setBeforeDirectReopen(std::function<void()> hook);
#endif

} // namespace platform
