// Linux: which way of reading the uncached read takes where dropping the
// page cache is not possible. That a local disk read really reaches the
// disk is tests/measure/ReadHonestyTest.cpp.

#include "UncachedRead.h"

#include "LinuxTestFiles.h"
#include "PlatformError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

using platform::ReadBypass;
using platform::UncachedRead;
using testsupport::kernelAtLeast;
using testsupport::onTmpfs;

namespace {

std::string readWhole(UncachedRead& file)
{
    std::string read;
    for (std::span<const char> block = file.next(); !block.empty(); block = file.next())
        read.append(block.data(), block.size());
    file.close();
    return read;
}

// A file of `size` bytes that ends in the middle of a page.
std::string oddContent()
{
    std::string content(UncachedRead::kBlockSize + 12345, 'a');
    for (std::size_t i = 0; i < content.size(); i += 4093)
        content[i] = static_cast<char>('b' + i % 20);
    return content;
}

} // namespace

// tmpfs is memory: dropping its pages would lose the file, so the advice
// leaves them and the read goes direct (tmpfs takes O_DIRECT since Linux
// 6.6) or says it could not.
TEST(UncachedRead, OnTmpfsTheCacheCannotBeDroppedSoTheReadGoesDirect)
{
    const std::string shm = "/dev/shm";
    if (!std::filesystem::is_directory(shm) || !onTmpfs(shm) || ::access(shm.c_str(), W_OK) != 0)
        GTEST_SKIP() << "no writable tmpfs at /dev/shm";
    const std::string path = shm + "/dozozeda-uncached-" + std::to_string(::getpid());
    const std::string content = oddContent();
    testsupport::writeFile(path, content);

    UncachedRead file(path);
    EXPECT_GE(file.residentBefore().value_or(0), 0.99);
    if (kernelAtLeast(6, 6)) {
        EXPECT_EQ(file.bypass(), ReadBypass::ODirect);
        EXPECT_GE(file.alignment(), 512u);
    } else {
        EXPECT_EQ(file.bypass(), ReadBypass::None);
    }
    // The aligned reads end in the middle of a page and still give it all.
    EXPECT_TRUE(readWhole(file) == content);
    std::filesystem::remove(path);
}

// ramfs neither drops its pages nor reads direct: the read happens anyway and
// says that nothing kept the cache out.
TEST(UncachedRead, WhereNothingWorksTheReadSaysSo)
{
    const testsupport::TempFolder folder;
    if (::mount("ramfs", folder.path().c_str(), "ramfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount ramfs (needs root)";
    const std::string path = folder.file("in-memory.dum");
    const std::string content = oddContent();
    testsupport::writeFile(path, content);
    {
        UncachedRead file(path);
        EXPECT_EQ(file.bypass(), ReadBypass::None);
        EXPECT_EQ(file.residentBefore(), 1.0);
        EXPECT_EQ(file.alignment(), 1u);
        EXPECT_TRUE(readWhole(file) == content);
    }
    ::umount2(folder.path().c_str(), MNT_DETACH);
}

TEST(UncachedRead, AFolderIsNoFileToRead)
{
    const testsupport::TempFolder folder;
    EXPECT_EQ(testsupport::errorOf([&] { UncachedRead file(folder.path()); }),
              "Cannot read " + platform::quotedPath(folder.path()) + ": it is not a file");
}
