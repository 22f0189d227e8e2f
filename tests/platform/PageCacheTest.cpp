// Linux: what the page cache holds of a file, as cachestat and mincore tell
// it, what the advice drops, and which mounts keep a local file cache.

#include "PageCache.h"

#include "LinuxTestFiles.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::Descriptor;

// Both ways of asking see the pages a write leaves and the advice drops;
// cachestat answers on every kernel that has it (6.5 on). An empty file
// holds no page; a file that cannot be mapped cannot be told by mincore.
TEST(PageCache, SeesWhatAWriteLeavesAndTheAdviceDrops)
{
    const testsupport::TempFolder folder;
    if (testsupport::onTmpfs(folder.path()))
        GTEST_SKIP() << folder.path() << " is on tmpfs, whose pages cannot be dropped";
    const std::string path = folder.file("cached.dum");
    testsupport::writeFile(path, std::string(std::size_t{8} << 20, 'X'));
    const Descriptor file(path);
    ASSERT_EQ(::fdatasync(file.fd), 0);
    const bool hasCachestat = testsupport::kernelAtLeast(6, 5);
    for (const double expected : {1.0, 0.0}) {
        if (expected == 0.0)
            platform::dropCachedPages(file.fd);
        EXPECT_NEAR(platform::residentFractionByMincore(file.fd).value_or(-1), expected, 0.01);
        EXPECT_NEAR(platform::residentFractionByCachestat(file.fd).value_or(hasCachestat ? -1 : expected), expected, 0.01);
    }

    testsupport::writeFile(folder.file("empty"), "");
    const Descriptor empty(folder.file("empty"));
    EXPECT_EQ(platform::residentFractionByMincore(empty.fd), 0.0);
    EXPECT_EQ(platform::residentFractionByCachestat(empty.fd).value_or(0.0), 0.0);
    // sysfs attributes say they hold a page, and cannot be mapped.
    EXPECT_EQ(platform::residentFractionByMincore(Descriptor("/sys/kernel/mm/transparent_hugepage/enabled").fd),
              std::nullopt);
}

// A cifs or NFS mount with `fsc` can serve a file from FS-Cache files on the
// local disk with no page in memory; only O_DIRECT goes past them.
TEST(PageCache, AMountWithALocalFileCacheIsKnownByItsDevice)
{
    const std::vector<platform::MountEntry> mounts = platform::parseMountInfo(
        "36 25 0:40 / /mnt/nas rw,relatime shared:1 - cifs //nas/data rw,vers=3.1.1,cache=strict,fsc,addr=192.0.2.5\n"
        "37 25 0:41 / /mnt/plain rw,relatime - cifs //nas/other rw,vers=3.1.1,cache=strict,addr=192.0.2.5\n"
        "38 25 0:42 / /mnt/nfs rw,fsc - nfs4 nas:/export rw,vers=4.2\n"
        "39 25 0:43 / /mnt/look-alike rw - cifs //nas/x rw,fscache=no,nofsc,addr=192.0.2.5\n"
        "40 25 0:40 /sub /mnt/bound rw - cifs //nas/data rw,vers=3.1.1\n");
    std::string withCache;
    for (const char* device : {"0:40", "0:41", "0:42", "0:43", "0:44"})
        withCache += platform::hasLocalFileCache(mounts, device) ? std::string(device) + " " : "";
    EXPECT_EQ(withCache, "0:40 0:42 ");
    // This machine's own temporary folder has none.
    const testsupport::TempFolder folder;
    testsupport::writeFile(folder.file("f"), "x");
    EXPECT_FALSE(platform::hasLocalFileCache(Descriptor(folder.file("f")).fd));
}
