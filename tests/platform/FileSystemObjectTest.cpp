#include "FileCopy.h"
#include "FileSystemObject.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>

using platform::FileSystemObject;
using testsupport::errorOf;
using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

constexpr auto ForWriting = FileSystemObject::IOMode::ForWriting;

// Windows words a missing file or folder in its own language, and Wine
// differently again; there only the part naming the path is fixed.
testing::AssertionResult isMissingPathError(const std::string& error, const std::string& action, const std::string& path)
{
    const std::string expected = "Cannot " + action + " '" + path + "': ";
#ifdef _WIN32
    if (error.starts_with(expected) && error.size() > expected.size())
        return testing::AssertionSuccess();
#else
    if (error == expected + "No such file or directory")
        return testing::AssertionSuccess();
#endif
    return testing::AssertionFailure() << "got: " << error << "\nexpected: " << expected << "<reason>";
}

} // namespace

TEST(FileSystemObject, FileExistsOnlyForFiles)
{
    TempFolder folder;
    FileSystemObject fso;
    EXPECT_FALSE(fso.FileExists(folder.at("missing")));
    EXPECT_FALSE(fso.FileExists(folder.here()));
    writeFile(folder.file("here"), "x");
    EXPECT_TRUE(fso.FileExists(folder.at("here")));
}

TEST(FileSystemObject, GetFolderFindsOnlyExistingFolders)
{
    TempFolder folder;
    FileSystemObject fso;
    EXPECT_NO_THROW(fso.GetFolder(folder.here()));
    EXPECT_NE(errorOf([&] { fso.GetFolder(folder.at("missing")); }).find("No such file or directory"),
              std::string::npos);
    writeFile(folder.file("plain"), "x");
    EXPECT_NE(errorOf([&] { fso.GetFolder(folder.at("plain")); }).find("Not a directory"), std::string::npos);
}

TEST(FileSystemObject, CopyReplacesAnOlderCopy)
{
    TempFolder source, target;
    const std::string data(3 * 1024 * 1024 + 5, 'X');
    writeFile(source.file("dummyfile.dum"), data);
    writeFile(target.file("dummyfile.dum"), "an older, different file");

    FileSystemObject().CopyFile(source.at("dummyfile.dum"), target.at("dummyfile.dum"), true);
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), data);
    EXPECT_EQ(platform::FileLen(target.at("dummyfile.dum")), static_cast<std::int64_t>(data.size()));

    EXPECT_NE(errorOf([&] { FileSystemObject().CopyFile(source.at("dummyfile.dum"), target.at("dummyfile.dum"), false); })
                  .find("File exists"),
              std::string::npos);
    platform::DeleteFile(target.at("dummyfile.dum"));
    EXPECT_FALSE(std::filesystem::exists(target.file("dummyfile.dum")));
}

TEST(FileSystemObject, CopyCountsItsBytesAndAStoppedOneLeavesNothing)
{
    TempFolder source, target;
    writeFile(source.file("dummyfile.dum"), std::string(2 * 1024 * 1024 + 7, 'X'));
    EXPECT_EQ(FileSystemObject().CopyFile(source.at("dummyfile.dum"), target.at("dummyfile.dum"), true),
              2 * 1024 * 1024 + 7);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(
        FileSystemObject().CopyFile(source.at("dummyfile.dum"), target.at("dummyfile.dum"), true, stop.get_token()),
        platform::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(target.file("dummyfile.dum")));

    // A stop is seen between blocks, not only once the whole file is across.
    platform::NativeFile in = platform::NativeFile::open(source.file("dummyfile.dum"), platform::NativeFile::Mode::Read);
    platform::NativeFile out = platform::NativeFile::open(target.file("part"), platform::NativeFile::Mode::WriteCreateNew);
    EXPECT_THROW(platform::copyContents(in, out, stop.get_token()), platform::Cancelled);
    out.close();
    EXPECT_LE(std::filesystem::file_size(target.file("part")), platform::kCopyBlockSize);
}

// A NUL would end the path early, and the system would reach another file
// than the one named.
TEST(FileSystemObject, APathIsTakenWhole)
{
    TempFolder folder;
    writeFile(folder.file("dummyfile.dum"), "XX");
    std::filesystem::create_directory(folder.file("sub"));
    FileSystemObject fso;
    const auto cut = platform::ResolvedPath::fromSystem(folder.file("sub") + std::string(1, '\0') + "zzz");
    for (const auto& attempt : std::initializer_list<std::function<void()>>{
             [&] { fso.GetFolder(cut); }, [&] { fso.CopyFile(folder.at("dummyfile.dum"), cut, true); },
             [&] { platform::DeleteFile(cut); }, [&] { fso.FileExists(cut); }}) {
        const std::string error = errorOf(attempt);
        EXPECT_TRUE(error.find("sub\\0zzz") != std::string::npos && error.ends_with("': a path cannot hold a NUL character"))
            << error;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("sub/dummyfile.dum")));
}

TEST(FileSystemObject, ErrorsNameThePathAndTheReason)
{
    TempFolder folder;
    writeFile(folder.file("dummyfile.dum"), "XX");
    FileSystemObject fso;
    const platform::ResolvedPath copy = folder.at("gone").child("dummyfile.dum");
    EXPECT_TRUE(isMissingPathError(errorOf([&] { fso.OpenTextFile(copy, ForWriting, true); }), "open for writing",
                                   copy.native()));
    EXPECT_TRUE(isMissingPathError(errorOf([&] { fso.CopyFile(folder.at("dummyfile.dum"), copy, true); }), "create",
                                   copy.native()));
    EXPECT_TRUE(isMissingPathError(errorOf([&] { fso.CopyFile(folder.at("absent.dum"), copy, true); }),
                                   "open for reading", folder.file("absent.dum")));
    EXPECT_TRUE(isMissingPathError(errorOf([&] { platform::FileLen(folder.at("absent.dum")); }),
                                   "read the length of", folder.file("absent.dum")));
    EXPECT_TRUE(isMissingPathError(errorOf([&] { platform::DeleteFile(folder.at("absent.dum")); }), "delete",
                                   folder.file("absent.dum")));
}

// The file is emptied when opened and complete once the last reference to
// its stream goes, whichever reference wrote what.
TEST(TextStream, TheLastReleaseCompletesTheFile)
{
    TempFolder folder;
    const std::string path = folder.file("dummyfile.dum");
    writeFile(path, "old content that is longer than what follows");
    auto stream = FileSystemObject().OpenTextFile(folder.at("dummyfile.dum"), ForWriting, true);
    auto second = stream;
    for (int i = 0; i < 100; ++i)
        stream->write(std::string(1024, 'X'));

    platform::release(stream);
    EXPECT_EQ(stream, nullptr);
    second->write("d");
    platform::release(second);
    EXPECT_EQ(readFile(path), std::string(100 * 1024, 'X') + "d");
}

TEST(TextStream, LongWritesKeepTheirOrder)
{
    TempFolder folder;
    const std::string path = folder.file("f");
    auto stream = FileSystemObject().CreateTextFile(folder.at("f"), true);
    const std::string longer(platform::TextStream::kBufferSize + 3, 'b');
    stream->write("a");
    stream->write(longer);
    stream->write("c");
    platform::release(stream);
    EXPECT_EQ(readFile(path), "a" + longer + "c");
}

#ifdef __linux__
TEST(TextStream, AFailedWriteSurfacesAtRelease)
{
    // /dev/full accepts the open and refuses every write with ENOSPC.
    auto stream = FileSystemObject().OpenTextFile(platform::ResolvedPath::fromSystem("/dev/full"), ForWriting, true);
    stream->write(std::string(1024, 'X'));
    EXPECT_EQ(errorOf([&] { platform::release(stream); }), "Cannot write '/dev/full': No space left on device");
    EXPECT_EQ(stream, nullptr);
}
#endif

#ifndef _WIN32
TEST(TextStream, NeverWritesThroughALinkNamedLikeTheFile)
{
    TempFolder folder;
    writeFile(folder.file("precious"), "keep me");
    std::filesystem::create_symlink(folder.file("precious"), folder.file("dummyfile.dum"));

    const std::string error = errorOf([&] { FileSystemObject().OpenTextFile(folder.at("dummyfile.dum"), ForWriting, true); });

    EXPECT_EQ(error.rfind("Cannot open for writing '" + folder.file("dummyfile.dum") + "'", 0), 0u) << error;
    EXPECT_EQ(readFile(folder.file("precious")), "keep me");
}
#endif
