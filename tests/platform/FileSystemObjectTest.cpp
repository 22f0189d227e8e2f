#include "FileSystemObject.h"
#include "Paths.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using platform::FileSystemObject;
using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace fs = std::filesystem;

namespace {

// Runs f and returns the text of the platform::Error it throws.
template <typename F>
std::string errorOf(F f)
{
    try {
        f();
    } catch (const platform::Error& e) {
        return e.what();
    }
    return "(no error)";
}

// Windows words a missing file or folder in its own language, and Wine
// differently again; there only the part naming the path is fixed.
testing::AssertionResult isMissingPathError(const std::string& error, const std::string& action, const std::string& path)
{
    const std::string expected = "Cannot " + action + " '" + platform::normalizePath(path) + "': ";
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
    EXPECT_FALSE(fso.FileExists(folder.file("missing")));
    EXPECT_FALSE(fso.FileExists(folder.path()));
    writeFile(folder.file("here"), "x");
    EXPECT_TRUE(fso.FileExists(folder.file("here")));
    EXPECT_TRUE(fso.FileExists(folder.path() + "\\/here"));
}

TEST(FileSystemObject, OpenForWritingEmptiesTheFile)
{
    TempFolder folder;
    writeFile(folder.file("f"), "old content");
    auto stream = FileSystemObject().OpenTextFile(folder.file("f"), FileSystemObject::IOMode::ForWriting, true);
    stream->write("new");
    platform::release(stream);
    EXPECT_EQ(readFile(folder.file("f")), "new");
}

TEST(FileSystemObject, OpenErrorsNameThePathAndTheReason)
{
    TempFolder folder;
    const std::string path = folder.file("no-such-folder/dummyfile.dum");
    EXPECT_TRUE(isMissingPathError(
        errorOf([&] { FileSystemObject().OpenTextFile(path, FileSystemObject::IOMode::ForWriting, true); }),
        "open for writing", path));
}

TEST(FileSystemObject, GetFolderFindsOnlyExistingFolders)
{
    TempFolder folder;
    FileSystemObject fso;
    EXPECT_NO_THROW(fso.GetFolder(folder.path()));
    EXPECT_NO_THROW(fso.GetFolder(folder.path() + "\\"));
    EXPECT_NE(errorOf([&] { fso.GetFolder(folder.file("missing") + "\\"); }).find("No such file or directory"),
              std::string::npos);
    writeFile(folder.file("plain"), "x");
    EXPECT_NE(errorOf([&] { fso.GetFolder(folder.file("plain")); }).find("Not a directory"), std::string::npos);
}

TEST(FileSystemObject, CopyIntoAFolderReplacesAnOlderCopy)
{
    TempFolder source, target;
    writeFile(source.file("dummyfile.dum"), std::string(3 * 1024 * 1024 + 5, 'X'));
    writeFile(target.file("dummyfile.dum"), "an older, different file that is longer than nothing");

    FileSystemObject().CopyFile(source.file("dummyfile.dum"), target.path() + "\\", true);
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), std::string(3 * 1024 * 1024 + 5, 'X'));

    EXPECT_NE(errorOf([&] { FileSystemObject().CopyFile(source.file("dummyfile.dum"), target.path() + "/", false); })
                  .find("File exists"),
              std::string::npos);
}

TEST(FileSystemObject, CopyErrorsNameTheFile)
{
    TempFolder folder;
    writeFile(folder.file("dummyfile.dum"), "XX");
    const std::string missing = folder.file("gone") + "\\";
    EXPECT_TRUE(isMissingPathError(errorOf([&] { FileSystemObject().CopyFile(folder.file("dummyfile.dum"), missing, true); }),
                                   "create", folder.file("gone") + "/dummyfile.dum"));
    EXPECT_TRUE(isMissingPathError(errorOf([&] { FileSystemObject().CopyFile(folder.file("absent.dum"), missing, true); }),
                                   "open for reading", folder.file("absent.dum")));
}

#ifndef _WIN32
TEST(FileSystemObject, CopyReplacesALinkInsteadOfWritingThroughIt)
{
    TempFolder source, target, elsewhere;
    writeFile(source.file("dummyfile.dum"), "XXXX");
    writeFile(elsewhere.file("precious"), "keep me");
    fs::create_symlink(elsewhere.file("precious"), target.file("dummyfile.dum"));

    FileSystemObject().CopyFile(source.file("dummyfile.dum"), target.path() + "\\", true);

    EXPECT_EQ(readFile(elsewhere.file("precious")), "keep me");
    EXPECT_FALSE(fs::is_symlink(target.file("dummyfile.dum")));
    EXPECT_EQ(readFile(target.file("dummyfile.dum")), "XXXX");
}

TEST(FileSystemObject, CopyOntoItselfIsRefusedHoweverThePathIsSpelled)
{
    TempFolder folder, links;
    const std::string data(4096, 'X');
    writeFile(folder.file("dummyfile.dum"), data);
    fs::create_directory_symlink(folder.path(), links.file("same"));

    for (const std::string& target : {folder.path() + "\\", folder.path() + "/./\\", links.file("same") + "\\"}) {
        const std::string error = errorOf([&] { FileSystemObject().CopyFile(folder.file("dummyfile.dum"), target, true); });
        EXPECT_NE(error.find("it is the same file"), std::string::npos) << target << ": " << error;
        EXPECT_EQ(readFile(folder.file("dummyfile.dum")), data) << target;
    }
}
#endif

#ifdef __linux__
TEST(FileSystemObject, CopyThatRunsOutOfSpaceLeavesNothingBehind)
{
    testsupport::SmallDisk disk(1);
    if (!disk.available())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    TempFolder source;
    writeFile(source.file("dummyfile.dum"), std::string(3 * 1024 * 1024, 'X'));

    const std::string error = errorOf([&] { FileSystemObject().CopyFile(source.file("dummyfile.dum"), disk.path() + "\\", true); });

    EXPECT_EQ(error, "Cannot write '" + disk.path() + "/dummyfile.dum': No space left on device");
    EXPECT_FALSE(fs::exists(disk.path() + "/dummyfile.dum"));
}
#endif
