// Linux: what the page cache holds of a file, as cachestat and mincore tell
// it, what the advice drops, and which mounts keep a local file cache.

#include "PageCache.h"

#include "LinuxTestFiles.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::Descriptor;
using testsupport::kernelAtLeast;
using testsupport::onTmpfs;

// Both ways of asking agree, and both see the pages a write leaves and the
// advice drops. On a kernel before 6.5 cachestat cannot answer; mincore can.
TEST(PageCache, SeesWhatAWriteLeavesAndTheAdviceDrops)
{
    const testsupport::TempFolder folder;
    if (onTmpfs(folder.path()))
        GTEST_SKIP() << folder.path() << " is on tmpfs, whose pages cannot be dropped";
    const std::string path = folder.file("cached.dum");
    testsupport::writeFile(path, std::string(std::size_t{8} << 20, 'X'));
    {
        const Descriptor file(path);
        ASSERT_EQ(::fdatasync(file.fd), 0);
        const auto byMincore = platform::residentFractionByMincore(file.fd);
        ASSERT_TRUE(byMincore.has_value());
        EXPECT_GE(*byMincore, 0.99);
        const auto byCachestat = platform::residentFractionByCachestat(file.fd);
        if (byCachestat) {
            EXPECT_GE(*byCachestat, 0.99);
        } else {
            EXPECT_FALSE(kernelAtLeast(6, 5)) << "cachestat did not answer on a kernel that has it";
        }
        EXPECT_EQ(platform::residentFraction(file.fd), byCachestat ? byCachestat : byMincore);
    }
    const Descriptor fresh(path);
    EXPECT_TRUE(platform::dropCachedPages(fresh.fd));
    EXPECT_EQ(platform::residentFractionByMincore(fresh.fd), 0.0);
    if (kernelAtLeast(6, 5)) {
        EXPECT_EQ(platform::residentFractionByCachestat(fresh.fd), 0.0);
    }

    // An empty file holds no page; a file that cannot be mapped cannot be
    // told (sysfs attributes say they hold a page, and cannot be mapped).
    testsupport::writeFile(folder.file("empty"), "");
    const Descriptor empty(folder.file("empty"));
    EXPECT_EQ(platform::residentFractionByMincore(empty.fd), 0.0);
    for (const char* attribute : {"/sys/kernel/profiling", "/sys/power/state", "/sys/kernel/mm/transparent_hugepage/enabled"}) {
        const Descriptor unmappable(attribute);
        if (unmappable.fd >= 0) {
            EXPECT_EQ(platform::residentFractionByMincore(unmappable.fd), std::nullopt) << attribute;
            break;
        }
    }
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
    EXPECT_TRUE(platform::hasLocalFileCache(mounts, "0:40"));
    EXPECT_FALSE(platform::hasLocalFileCache(mounts, "0:41"));
    EXPECT_TRUE(platform::hasLocalFileCache(mounts, "0:42"));
    EXPECT_FALSE(platform::hasLocalFileCache(mounts, "0:43"));
    EXPECT_FALSE(platform::hasLocalFileCache(mounts, "0:44"));
    // This machine's own temporary folder has none.
    const testsupport::TempFolder folder;
    testsupport::writeFile(folder.file("f"), "x");
    const Descriptor local(folder.file("f"));
    EXPECT_FALSE(platform::hasLocalFileCache(local.fd));
}
