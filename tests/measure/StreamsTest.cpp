// Several copies at once: each stream's copy is whole and its own, and when
// one fails or a stop comes, no copy of the run stays behind.

#include "Streams.h"

#include "PatternFile.h"
#include "PlatformError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using testsupport::entryCount;
using testsupport::errorOf;

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kBytes = 8 << 20;

class Streams : public testing::Test {
protected:
    void SetUp() override { testsupport::writePatternFile(local.file("source"), pattern, kBytes); }

    std::vector<platform::ResolvedPath> destinations(int count)
    {
        std::vector<platform::ResolvedPath> paths;
        for (int i = 1; i <= count; ++i)
            paths.push_back(target.at("copy" + std::to_string(i)));
        return paths;
    }

    const measure::TestPattern pattern = measure::TestPattern::random(11);
    testsupport::TempFolder local;
    testsupport::TempFolder target;
};

} // namespace

TEST_F(Streams, EveryStreamWritesAndReadsItsOwnWholeCopyWithinTheRunsSpan)
{
    const auto paths = destinations(4);
    const measure::StreamCopies copies = measure::timeCopies(local.at("source"), paths);
    ASSERT_EQ(copies.streams.size(), 4u);
    EXPECT_EQ(copies.bytes(), 4 * kBytes);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(copies.streams[i].copy, paths[i]);
        EXPECT_EQ(fs::file_size(paths[i].native()), static_cast<std::uintmax_t>(kBytes));
        EXPECT_LE(copies.start(), copies.streams[i].start);
        EXPECT_GE(copies.end(), copies.streams[i].end);
    }
    const measure::StreamReads reads = measure::timeReads(paths, kBytes, pattern);
    EXPECT_EQ(reads.bytes(), 4 * kBytes);
    EXPECT_GE(reads.seconds(), reads.streams[0].seconds());
}

TEST_F(Streams, AFailingStreamStopsTheOthersAndNoCopyStays)
{
    auto paths = destinations(3);
    paths.push_back(target.at("missing").child("copy4"));
    const std::string error = errorOf([&] { measure::timeCopies(local.at("source"), paths); });
    // The cause, not the stops it made.
    EXPECT_NE(error.find("copy4"), std::string::npos) << error;
    EXPECT_EQ(error.find("Stopped"), std::string::npos) << error;
    EXPECT_EQ(entryCount(target.path()), 0);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(measure::timeCopies(local.at("source"), destinations(3), stop.get_token()), platform::Cancelled);
    EXPECT_EQ(entryCount(target.path()), 0);
}
