#include "LocalTestFile.h"

#include "CopyName.h"
#include "FileCopy.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "System.h"
#include "WrittenFiles.h"

#include <memory>
#include <random>

namespace cli {

namespace {

std::string namePrefix(const std::string& host)
{
    return "dozozeda-cli-" + fileNameHost(host) + "-";
}

std::string mebibytes(std::int64_t bytes)
{
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

// Said before the first byte is written: a file that fills the folder to
// the last byte and then fails takes the room from every other program.
void checkRoom(const platform::ResolvedPath& folder, std::int64_t bytes)
{
    const std::optional<std::int64_t> free = freeBytes(folder.native());
    if (free && *free < bytes)
        throw platform::Error("it needs " + mebibytes(bytes) + " in " + platform::quotedPath(folder.native())
                              + ", which has " + mebibytes(*free) + " free. Set TMPDIR to a folder with room for it, "
                              "or give a smaller --size");
}

// A name nobody else uses: the temporary folder is shared with every other
// user and program, and the file is created anew, never written through an
// entry that is already there.
platform::NativeFile createUnique(const platform::ResolvedPath& folder, const std::string& host,
                                  platform::ResolvedPath& path)
{
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        path = folder.child(namePrefix(host) + std::to_string(processId()) + "-" + std::to_string(random() % 1000000)
                            + ".tmp");
        if (attempt < 20 && platform::lookupEntry(path.native()))
            continue;
        return platform::NativeFile::open(path.native(), platform::NativeFile::Mode::WriteCreateNew);
    }
}

} // namespace

LocalTestFile::LocalTestFile(const platform::ResolvedPath& folder, const std::string& host, std::int64_t bytes,
                             const measure::TestPattern& pattern, std::stop_token stop)
{
    checkRoom(folder, bytes);
    platform::NativeFile file = createUnique(folder, host, m_path);
    m_present = true;
    writtenFiles().add(m_path.native(), "the local test file", "in the temporary folder");
    try {
        const auto block = std::make_unique<char[]>(platform::kCopyBlockSize);
        for (std::int64_t done = 0; done < bytes;) {
            if (stop.stop_requested())
                throw platform::Cancelled();
            const auto count = static_cast<std::size_t>(
                std::min<std::int64_t>(bytes - done, static_cast<std::int64_t>(platform::kCopyBlockSize)));
            pattern.fill(static_cast<std::uint64_t>(done), std::span<char>(block.get(), count));
            file.writeAll(block.get(), count);
            done += static_cast<std::int64_t>(count);
        }
        file.sync();
        file.close();
    } catch (...) {
        file.discard();
        remove();
        throw;
    }
}

LocalTestFile::~LocalTestFile()
{
    remove();
}

std::string LocalTestFile::remove() noexcept
{
    if (!m_present)
        return {};
    const std::string leftOver = platform::removeLeftOver(m_path);
    m_present = !leftOver.empty();
    if (!m_present)
        writtenFiles().remove(m_path.native());
    return leftOver;
}

std::optional<unsigned long> LocalTestFile::ownerOf(std::string_view name, const std::string& host)
{
    const std::string prefix = namePrefix(host);
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= prefix.size() + kSuffix.size() || !name.starts_with(prefix) || !name.ends_with(kSuffix))
        return std::nullopt;
    // <pid>-<n>: the number after the process id only keeps the name apart
    // from other users' files.
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    const std::size_t dash = middle.find('-');
    if (dash == std::string_view::npos || dash + 1 == middle.size()
        || middle.find_first_not_of("0123456789", dash + 1) != std::string_view::npos)
        return std::nullopt;
    return processIdBetween(middle.substr(0, dash), "", "");
}

} // namespace cli
