// The uncached read's blocks on any system: the file comes whole and in
// order, in an aligned buffer, in blocks no larger than promised, whatever
// its size and however the cache was kept out.

#include "UncachedRead.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using platform::UncachedRead;

TEST(UncachedRead, GivesTheWholeFileInAlignedBlocks)
{
    const testsupport::TempFolder folder;
    constexpr std::size_t kBlock = UncachedRead::kBlockSize;
    for (const std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{4096}, kBlock, 2 * kBlock + 4097}) {
        const std::string path = folder.file("file-" + std::to_string(size));
        // 251 is prime: no block or sector in the wrong place reads the same.
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            content[i] = static_cast<char>(i % 251);
        testsupport::writeFile(path, content);

        UncachedRead file(path);
        const std::size_t alignment = file.alignment();
#ifdef _WIN32
        // A local disk refuses the redirector's control code (Wine's too):
        // whole sectors, read unbuffered.
        EXPECT_EQ(file.bypass(), platform::ReadBypass::NoBuffering);
        EXPECT_GE(alignment, 512u);
#endif
        std::string read;
        for (std::span<const char> block = file.next(); !block.empty(); block = file.next()) {
            EXPECT_LE(block.size(), kBlock);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % alignment, 0u);
            read.append(block.data(), block.size());
            ASSERT_LE(read.size(), content.size()) << "no end in sight";
        }
        // The end stays the end.
        EXPECT_TRUE(file.next().empty());
        file.close();
        EXPECT_TRUE(read == content) << size << " bytes, read back " << read.size();
    }
}
