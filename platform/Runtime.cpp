#include "Runtime.h"

#include "NativeFile.h"
#include "PlatformError.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace platform {

namespace {

std::function<std::string()> programFolderFallback;
std::string installedProgramFolder;
std::optional<std::string> programFolderOverride;

std::string parentFolder(const std::string& file)
{
#ifdef _WIN32
    const auto pos = file.find_last_of("/\\");
#else
    // A backslash is part of a Linux folder's name.
    const auto pos = file.rfind('/');
#endif
    if (pos == std::string::npos)
        return ".";
    if (pos == 0)
        return file.substr(0, 1);
    return file.substr(0, pos);
}

} // namespace

void DeleteFile(const ResolvedPath& path)
{
    const std::string& file = path.native();
    const auto entry = lookupEntry(file);
    if (!entry)
        throwError("delete", file, std::errc::no_such_file_or_directory);
    if (entry->type == EntryType::Directory)
        throwError("delete", file, std::errc::is_a_directory);
    removeEntry(file);
}

std::string removeLeftOver(const ResolvedPath& path) noexcept
{
    try {
        const std::string& file = path.native();
        if (lookupEntry(file))
            removeEntry(file);
        return {};
    } catch (const std::exception& e) {
        return std::string("; what was written could not be removed either (") + e.what() + ")";
    }
}

std::int64_t FileLen(const ResolvedPath& path)
{
    const std::string& file = path.native();
    const auto entry = lookupTarget(file);
    if (!entry)
        throwError("read the length of", file, std::errc::no_such_file_or_directory);
    return entry->size;
}

std::string chooseProgramFolder(const std::string& executableFolder, const std::function<std::string()>& fallback,
                                const std::string& installedFolder)
{
    const bool installed = !installedFolder.empty() && executableFolder == installedFolder;
    if (!fallback || (!installed && isWritableFolder(executableFolder)))
        return executableFolder;
    const std::string folder = fallback();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(std::u8string(folder.begin(), folder.end())), error);
    if (error)
        throw Error("Cannot create the folder " + quotedPath(folder) + ": " + error.message());
    return folder;
}

std::string ProgramFolder()
{
    if (programFolderOverride)
        return *programFolderOverride;
    // Decided once: a folder that turned read-only mid-run must not send the
    // next write, the copy and the clean-up at closing to different places.
    static const std::string folder =
        chooseProgramFolder(parentFolder(executablePath()), programFolderFallback, installedProgramFolder);
    return folder;
}

void setProgramFolderFallback(std::function<std::string()> fallback, std::string installedFolder)
{
    programFolderFallback = std::move(fallback);
    installedProgramFolder = std::move(installedFolder);
}

void setProgramFolderOverride(std::optional<std::string> folder)
{
    programFolderOverride = std::move(folder);
}

std::string Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string IntToText(long long value)
{
    return std::to_string(value);
}

} // namespace platform
