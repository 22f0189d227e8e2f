// Linux: which way of reading the uncached read takes where dropping the
// page cache is not possible. That a local disk read really reaches the
// disk is tests/measure/ReadHonestyTest.cpp.

#include "UncachedRead.h"

#include "LinuxTestFiles.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/mount.h>

#include <filesystem>

using platform::ReadBypass;
using platform::UncachedRead;

// In memory the pages are the file, and the advice leaves them: the read
// goes direct where the file system allows it (tmpfs since Linux 6.6), else
// it happens anyway and says that nothing kept the cache out (ramfs). Its
// aligned reads end in the middle of a page and still give the whole file.
TEST(UncachedRead, WhereThePagesCannotBeDroppedItGoesDirectOrSaysSo)
{
    const testsupport::SmallDisk tmpfs(20);
    const testsupport::TempFolder ramfs;
    if (!tmpfs.available() || ::mount("ramfs", ramfs.path().c_str(), "ramfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount tmpfs and ramfs (needs root)";
    std::string content(UncachedRead::kBlockSize + 12345, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 251);
    const bool tmpfsGoesDirect = testsupport::kernelAtLeast(6, 6);
    for (const auto& [folder, way] : {std::pair{tmpfs.path(), tmpfsGoesDirect ? ReadBypass::ODirect : ReadBypass::None},
                                      std::pair{ramfs.path(), ReadBypass::None}}) {
        const std::string path = folder + "/in-memory.dum";
        testsupport::writeFile(path, content);
        UncachedRead file(path);
        EXPECT_EQ(file.bypass(), way) << folder;
        EXPECT_EQ(file.residentBefore(), 1.0) << folder;
        // A direct read of a block device or a share wants at least whole sectors.
        EXPECT_GE(file.alignment(), way == ReadBypass::ODirect ? 512u : 1u);
        std::string read;
        for (std::span<const char> block = file.next(); !block.empty(); block = file.next())
            read.append(block.data(), block.size());
        file.close();
        EXPECT_TRUE(read == content) << folder;
    }
    ::umount2(ramfs.path().c_str(), MNT_DETACH);
}

// The file opened again to be read directly must be the one whose cache was
// just dropped; another file put under the name meanwhile is not read.
TEST(UncachedRead, AFileReplacedBeforeTheDirectOpenIsNotRead)
{
    const testsupport::TempFolder folder;
    const std::string path = folder.file("copy.dum");
    testsupport::writeFile(path, std::string(1 << 20, 'X'));
    testsupport::writeFile(folder.file("other.dum"), std::string(1 << 20, 'Y'));
    {
        const testsupport::Descriptor direct(path);
        if (::fcntl(direct.fd, F_SETFL, O_DIRECT) != 0)
            GTEST_SKIP() << "the temporary folder's file system takes no direct reads";
    }
    // Locked pages survive the advice to drop them, so the read goes direct.
    const testsupport::Descriptor held(path);
    void* pages = ::mmap(nullptr, 1 << 20, PROT_READ, MAP_SHARED, held.fd, 0);
    ASSERT_NE(pages, MAP_FAILED);
    if (::mlock(pages, 1 << 20) != 0) {
        ::munmap(pages, 1 << 20);
        GTEST_SKIP() << "cannot lock pages in memory (RLIMIT_MEMLOCK)";
    }
    platform::setBeforeDirectReopen([&] { std::filesystem::rename(folder.file("other.dum"), path); });
    const std::string error = testsupport::errorOf([&] { UncachedRead file(path); });
    platform::setBeforeDirectReopen({});
    ::munmap(pages, 1 << 20);
    EXPECT_EQ(error, "Cannot read '" + path + "': the file was replaced while it was being opened");
}
