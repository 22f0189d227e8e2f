#include "FileSystemObject.h"

#include "FileCopy.h"
#include "Paths.h"
#include "PlatformError.h"
#include "ShareAddress.h"

namespace platform {

namespace {

bool endsWithSeparator(const std::string& path)
{
    return !path.empty() && isSeparator(path.back());
}

// Removes a partial copy. The copy's own error is the one to report; a
// failure to clean up is added to it, so nobody assumes the target is clean.
std::string removePartialCopy(const std::string& path) noexcept
{
    try {
        removeEntry(path);
        return {};
    } catch (const std::exception& e) {
        return std::string("; the partial copy could not be removed either (") + e.what() + ")";
    }
}

} // namespace

bool FileSystemObject::FileExists(const std::string& path) const
{
    const auto entry = lookupTarget(resolvePath(path));
    return entry && entry->type == EntryType::RegularFile;
}

std::shared_ptr<TextStream> FileSystemObject::CreateTextFile(const std::string& path, bool overwrite) const
{
    const std::string file = resolvePath(path);
    const auto mode = overwrite ? NativeFile::Mode::WriteTruncate : NativeFile::Mode::WriteCreateNew;
    return std::make_shared<TextStream>(NativeFile::open(file, mode));
}

std::shared_ptr<TextStream> FileSystemObject::OpenTextFile(const std::string& path, IOMode mode, bool create) const
{
    const std::string file = resolvePath(path);
    if (mode != IOMode::ForWriting)
        throw Error("Cannot open '" + file + "': only writing is supported");
    if (!create && !lookupTarget(file))
        throwError("open for writing", file, std::errc::no_such_file_or_directory);
    return std::make_shared<TextStream>(NativeFile::open(file, NativeFile::Mode::WriteTruncate));
}

void FileSystemObject::GetFolder(const std::string& path) const
{
    const std::string folder = resolvePath(path);
    const auto entry = lookupTarget(folder);
    if (!entry)
        throwError("find the folder", folder, std::errc::no_such_file_or_directory);
    if (entry->type != EntryType::Directory)
        throwError("use the folder", folder, std::errc::not_a_directory);
}

void FileSystemObject::CopyFile(const std::string& source, const std::string& destination, bool overwrite) const
{
    const std::string from = resolvePath(source);
    const std::string to = resolvePath(endsWithSeparator(destination) ? destination + baseName(from) : destination);

    NativeFile in = NativeFile::open(from, NativeFile::Mode::Read);

    if (const auto existing = lookupEntry(to)) {
        if (existing->identity == in.identity())
            throw Error("Cannot copy '" + from + "' to '" + to
                        + "': it is the same file; choose a folder other than the program's own");
        if (!overwrite)
            throwError("create", to, std::errc::file_exists);
        if (existing->type == EntryType::Directory)
            throwError("replace", to, std::errc::is_a_directory);
        removeEntry(to);
    }

    NativeFile out = NativeFile::open(to, NativeFile::Mode::WriteCreateNew);
    try {
        copyContents(in, out);
        out.sync();
        out.close();
    } catch (const Error& e) {
        out.discard();
        const std::string leftOver = removePartialCopy(to);
        if (leftOver.empty())
            throw;
        throw Error(e.what() + leftOver);
    } catch (...) {
        out.discard();
        removePartialCopy(to);
        throw;
    }
}

} // namespace platform
