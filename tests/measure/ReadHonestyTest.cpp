// Linux: the timed read of a file this process has just written reaches the
// disk, not the page cache the write left behind. The kernel counts, per
// process, the bytes it asked a block device for (read_bytes in
// /proc/self/io, counted when the request is submitted, O_DIRECT included);
// a read served from memory adds nothing there. A local disk models the cifs
// case where the cache outlives close and reopen (a lease, a deferred close).

#include "TimedCopy.h"
#include "TimedRead.h"

#include "NativeFile.h"
#include "PageCache.h"
#include "PatternFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

using measure::CacheBypass;
using measure::TestPattern;

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kSize = std::int64_t{32} << 20;
constexpr long kTmpfsMagic = 0x01021994;
constexpr long kRamfsMagic = 0x858458f6;

// A folder on a file system that lives on a block device, so that reads
// from it show up as read_bytes; or why there is none.
struct BlockBackedFolder {
    std::string path;
    std::string whyNot;
};

BlockBackedFolder findBlockBackedFolder()
{
    std::string why;
    for (const fs::path& candidate : {fs::path(DOZOZEDA_BLOCK_BACKED_CANDIDATE), fs::temp_directory_path()}) {
        struct statfs fsInfo {};
        struct stat st {};
        if (::statfs(candidate.c_str(), &fsInfo) != 0 || ::stat(candidate.c_str(), &st) != 0) {
            why += candidate.string() + ": cannot look it up; ";
            continue;
        }
        if (fsInfo.f_type == kTmpfsMagic || fsInfo.f_type == kRamfsMagic) {
            why += candidate.string() + ": in memory (tmpfs or ramfs); ";
            continue;
        }
        const std::string device = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
        if (!fs::exists("/sys/dev/block/" + device)) {
            why += candidate.string() + ": device " + device + " is no block device; ";
            continue;
        }
        return {candidate.string(), ""};
    }
    return {"", "no block-backed folder: " + why};
}

// A fresh folder below `parent`, removed afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& parent)
        : m_path(parent + "/dozozeda-read-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device()()))
    {
        fs::create_directory(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::int64_t readBytesSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value) {
        if (key == "read_bytes:")
            return value;
    }
    throw std::runtime_error("/proc/self/io has no read_bytes (no task I/O accounting in this kernel)");
}

double resident(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto fraction = platform::residentFraction(fd);
    ::close(fd);
    return fraction.value_or(-1.0);
}

// What a program does that reads a file without any care for the cache.
double plainReadSeconds(const std::string& path)
{
    const auto started = std::chrono::steady_clock::now();
    platform::NativeFile file = platform::NativeFile::open(path, platform::NativeFile::Mode::Read);
    const auto buffer = std::make_unique<char[]>(1 << 22);
    while (file.read(buffer.get(), 1 << 22) > 0) {
    }
    file.close();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

double mibPerSecond(std::int64_t bytes, double seconds)
{
    return static_cast<double>(bytes) / seconds / (1 << 20);
}

} // namespace

TEST(ReadHonesty, AFileJustWrittenIsReadFromTheDiskNotFromMemory)
{
    const BlockBackedFolder where = findBlockBackedFolder();
    if (where.path.empty())
        GTEST_SKIP() << where.whyNot;
    const ScratchFolder folder(where.path);
    const TestPattern pattern = TestPattern::random(1);
    testsupport::writePatternFile(folder.file("source.dum"), pattern, kSize);
    // The real write path: a copy, fsynced, closed.
    const std::string copy = measure::timeCopy(folder.file("source.dum"), folder.file("copy.dum")).copy;

    // The write left the file in memory: what a read must not be fooled by.
    EXPECT_GE(resident(copy), 0.99);

    // The probe can tell: reading it without dropping the cache asks the disk
    // for (next to) nothing.
    const std::int64_t beforePlain = readBytesSoFar();
    const double hotSeconds = plainReadSeconds(copy);
    const std::int64_t plainGrowth = readBytesSoFar() - beforePlain;
    EXPECT_LT(plainGrowth, kSize / 20);

    // The timed read of the same file in the same state reaches the disk.
    for (const char* run : {"first", "again at once"}) {
        const std::int64_t before = readBytesSoFar();
        const measure::ReadTiming timing = measure::timeRead(copy, kSize, pattern);
        const std::int64_t growth = readBytesSoFar() - before;
        EXPECT_TRUE(timing.bypass == CacheBypass::FadviseDontNeed || timing.bypass == CacheBypass::ODirect)
            << measure::name(timing.bypass);
        EXPECT_EQ(timing.residentBefore, 0.0);
        EXPECT_GE(growth, kSize * 95 / 100);
        EXPECT_EQ(timing.bytes, kSize);
        std::printf("%s read: %s, resident before %.3f, read_bytes +%lld (%.3f of the file; plain read without "
                    "dropping: +%lld), %.1f MiB/s (plain read from memory: %.1f MiB/s)\n",
                    run, std::string(measure::name(timing.bypass)).c_str(), timing.residentBefore.value_or(-1),
                    static_cast<long long>(growth), static_cast<double>(growth) / kSize,
                    static_cast<long long>(plainGrowth), mibPerSecond(kSize, timing.seconds()),
                    mibPerSecond(kSize, hotSeconds));
        // Its own plain reads leave the pages in memory again; the second run
        // has to drop them once more.
    }
}
