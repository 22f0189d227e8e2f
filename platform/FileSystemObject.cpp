#include "FileSystemObject.h"

#include "FileCopy.h"
#include "PlatformError.h"
#include "Runtime.h"

namespace platform {

bool FileSystemObject::FileExists(const ResolvedPath& path) const
{
    const auto entry = lookupTarget(path.native());
    return entry && entry->type == EntryType::RegularFile;
}

std::shared_ptr<TextStream> FileSystemObject::CreateTextFile(const ResolvedPath& path, bool overwrite) const
{
    const std::string& file = path.native();
    const auto mode = overwrite ? NativeFile::Mode::WriteTruncate : NativeFile::Mode::WriteCreateNew;
    return std::make_shared<TextStream>(NativeFile::open(file, mode));
}

std::shared_ptr<TextStream> FileSystemObject::OpenTextFile(const ResolvedPath& path, IOMode mode, bool create) const
{
    const std::string& file = path.native();
    if (mode != IOMode::ForWriting)
        throw Error("Cannot open " + quotedPath(file) + ": only writing is supported");
    if (!create && !lookupTarget(file))
        throwError("open for writing", file, std::errc::no_such_file_or_directory);
    return std::make_shared<TextStream>(NativeFile::open(file, NativeFile::Mode::WriteTruncate));
}

void FileSystemObject::GetFolder(const ResolvedPath& path) const
{
    const std::string& folder = path.native();
    const auto entry = lookupTarget(folder);
    if (!entry)
        throwError("find the folder", folder, std::errc::no_such_file_or_directory);
    if (entry->type != EntryType::Directory)
        throwError("use the folder", folder, std::errc::not_a_directory);
}

std::int64_t FileSystemObject::CopyFile(const ResolvedPath& source, const ResolvedPath& destination, bool overwrite,
                                       std::stop_token stop, const CopyProgress& progress) const
{
    const std::string& from = source.native();
    const std::string& to = destination.native();

    NativeFile in = NativeFile::open(from, NativeFile::Mode::Read);

    if (const auto existing = lookupEntry(to)) {
        if (existing->identity == in.identity())
            throw Error("Cannot copy " + quotedPath(from) + " to " + quotedPath(to)
                        + ": it is the same file; choose a folder other than the program's own");
        if (!overwrite)
            throwError("create", to, std::errc::file_exists);
        if (existing->type == EntryType::Directory)
            throwError("replace", to, std::errc::is_a_directory);
        removeEntry(to);
    }

    NativeFile out = NativeFile::open(to, NativeFile::Mode::WriteCreateNew);
    return undoingOnFailure(
        [&] {
            const std::int64_t copied = copyContents(in, out, stop, progress);
            out.sync();
            out.close();
            // Stopped while the data was being flushed: the copy is whole, but
            // nobody is left to report it or to remove it afterwards.
            if (stop.stop_requested())
                throw Cancelled();
            return copied;
        },
        [&] {
            out.discard();
            return removeLeftOver(destination);
        });
}

} // namespace platform
