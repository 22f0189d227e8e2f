#include "TestPattern.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using measure::TestPattern;

namespace {

std::string bytesOf(const TestPattern& pattern, std::uint64_t offset, std::size_t size)
{
    std::string bytes(size, '\0');
    pattern.fill(offset, bytes);
    return bytes;
}

} // namespace

// A block made on its own, at any offset, is the same as that part of the
// whole file, so a read can be checked block by block.
TEST(TestPattern, AnyPartIsThatPartOfTheWholeFile)
{
    EXPECT_EQ(bytesOf(TestPattern::x(), 12345, 7), "XXXXXXX");
    const TestPattern random = TestPattern::random(42);
    const std::string whole = bytesOf(random, 0, 3 * 4096 + 13);
    for (const std::uint64_t offset : {0u, 1u, 7u, 8u, 4093u, 4096u, 8195u})
        EXPECT_EQ(bytesOf(random, offset, 4101 - offset % 5), whole.substr(offset, 4101 - offset % 5)) << offset;
    EXPECT_NE(bytesOf(TestPattern::random(43), 0, 64), whole.substr(0, 64));
    // Nothing a compressing link could shrink: every byte value turns up.
    const std::set<char> values(whole.begin(), whole.end());
    EXPECT_EQ(values.size(), 256u);
}

TEST(TestPattern, FindsTheFirstByteThatDiffers)
{
    const TestPattern random = TestPattern::random(7);
    std::string read = bytesOf(random, 100, 10000);
    EXPECT_EQ(random.firstDifference(100, read), read.size());
    read[5000] ^= 1;
    read[9000] ^= 1;
    EXPECT_EQ(random.firstDifference(100, read), 5000u);
    EXPECT_EQ(TestPattern::x().firstDifference(0, std::string("XXY")), 2u);
}

// Whole words are compared on their own, the bytes before the first and
// after the last one by blocks: a difference anywhere is found, wherever
// the part checked starts and ends.
TEST(TestPattern, FindsADifferenceWhereverThePartStartsAndEnds)
{
    for (const TestPattern& pattern : {TestPattern::random(11), TestPattern::x()}) {
        for (std::uint64_t offset = 0; offset < 17; ++offset) {
            for (std::size_t size = 0; size < 42; ++size) {
                std::string read = bytesOf(pattern, offset, size);
                ASSERT_EQ(pattern.firstDifference(offset, read), size);
                for (std::size_t at = 0; at < size; ++at) {
                    read[at] ^= 0x40;
                    ASSERT_EQ(pattern.firstDifference(offset, read), at) << offset << " " << size;
                    read[at] ^= 0x40;
                }
            }
        }
    }
}
