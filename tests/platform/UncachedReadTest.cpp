// The uncached read's blocks on any system: the file comes whole and in
// order, in an aligned buffer, in blocks no larger than promised, whatever
// its size and however the cache was kept out.

#include "UncachedRead.h"

#include "PlatformError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using platform::UncachedRead;

namespace {

std::string someBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

} // namespace

TEST(UncachedRead, GivesTheWholeFileInAlignedBlocks)
{
    const testsupport::TempFolder folder;
    constexpr std::size_t kBlock = UncachedRead::kBlockSize;
    for (const std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{4096}, kBlock, 2 * kBlock + 4097}) {
        const std::string path = folder.file("file-" + std::to_string(size));
        const std::string content = someBytes(size);
        testsupport::writeFile(path, content);

        UncachedRead file(path);
        const std::size_t alignment = file.alignment();
        EXPECT_EQ(alignment & (alignment - 1), 0u) << "not a power of two: " << alignment;
        std::string read;
        int blocks = 0;
        for (std::span<const char> block = file.next(); !block.empty(); block = file.next()) {
            EXPECT_LE(block.size(), kBlock);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % alignment, 0u);
            read.append(block.data(), block.size());
            ASSERT_LE(++blocks, 10) << "no end in sight";
        }
        // The end stays the end.
        EXPECT_TRUE(file.next().empty());
        file.close();
        EXPECT_TRUE(read == content) << size << " bytes, read back " << read.size();
    }
}

TEST(UncachedRead, AMissingFileIsNamed)
{
    const testsupport::TempFolder folder;
    const std::string path = folder.file("gone.dum");
    const std::string error = testsupport::errorOf([&] { UncachedRead file(path); });
    EXPECT_TRUE(error.starts_with("Cannot open for reading " + platform::quotedPath(path) + ": ")) << error;
}
