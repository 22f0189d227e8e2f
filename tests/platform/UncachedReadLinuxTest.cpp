// Linux: which way of reading the uncached read takes where dropping the
// page cache is not possible. That a local disk read really reaches the
// disk is tests/measure/ReadHonestyTest.cpp.

#include "UncachedRead.h"

#include "LinuxTestFiles.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

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
