#include "FileSystemObject.h"
#include "PlatformError.h"
#include "TempFolder.h"
#include "TextStream.h"

#include <gtest/gtest.h>

#include <filesystem>

using platform::FileSystemObject;
using testsupport::readFile;
using testsupport::TempFolder;

namespace {

std::uintmax_t sizeOnDisk(const std::string& path)
{
    return std::filesystem::file_size(path);
}

} // namespace

TEST(TextStream, CollectsSmallWritesAndWritesThemOnRelease)
{
    TempFolder folder;
    const std::string path = folder.file("dummyfile.dum");
    auto stream = FileSystemObject().OpenTextFile(path, FileSystemObject::IOMode::ForWriting, true);
    const std::string block(1024, 'X');
    for (int i = 0; i < 100; ++i)
        stream->write(block);
    // 100 KiB is still in the buffer: no write reached the file yet.
    EXPECT_EQ(sizeOnDisk(path), 0u);

    platform::release(stream);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(readFile(path), std::string(100 * 1024, 'X'));
}

TEST(TextStream, LongWritesKeepTheirOrder)
{
    TempFolder folder;
    const std::string path = folder.file("f");
    auto stream = FileSystemObject().CreateTextFile(path, true);
    stream->write("a");
    stream->write(std::string(platform::TextStream::kBufferSize + 3, 'b'));
    stream->write("c");
    platform::release(stream);
    EXPECT_EQ(readFile(path), "a" + std::string(platform::TextStream::kBufferSize + 3, 'b') + "c");
}

TEST(TextStream, ReleasingAnotherReferenceKeepsTheFileOpen)
{
    TempFolder folder;
    const std::string path = folder.file("f");
    auto stream = FileSystemObject().CreateTextFile(path, true);
    auto second = stream;
    stream->write("abc");
    platform::release(stream);
    EXPECT_EQ(sizeOnDisk(path), 0u);
    second->write("d");
    platform::release(second);
    EXPECT_EQ(readFile(path), "abcd");
}

#ifdef __linux__
TEST(TextStream, AFailedWriteSurfacesAtRelease)
{
    // /dev/full accepts the open and refuses every write with ENOSPC.
    auto stream = FileSystemObject().OpenTextFile("/dev/full", FileSystemObject::IOMode::ForWriting, true);
    stream->write(std::string(1024, 'X'));
    try {
        platform::release(stream);
        FAIL() << "the lost write was not reported";
    } catch (const platform::Error& e) {
        EXPECT_STREQ(e.what(), "Cannot write '/dev/full': No space left on device");
    }
    EXPECT_EQ(stream, nullptr);
}
#endif
