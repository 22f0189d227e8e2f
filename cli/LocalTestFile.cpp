#include "LocalTestFile.h"

#include "FileCopy.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "System.h"

#include <memory>
#include <random>

namespace cli {

namespace {

// A name nobody else uses: the temporary folder is shared with every other
// user and program, and the file is created anew, never written through an
// entry that is already there.
platform::NativeFile createUnique(const platform::ResolvedPath& folder, platform::ResolvedPath& path)
{
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        path = folder.child("dozozeda-cli-" + std::to_string(processId()) + "-" + std::to_string(random() % 1000000)
                            + ".tmp");
        if (attempt < 20 && platform::lookupEntry(path.native()))
            continue;
        return platform::NativeFile::open(path.native(), platform::NativeFile::Mode::WriteCreateNew);
    }
}

} // namespace

LocalTestFile::LocalTestFile(const platform::ResolvedPath& folder, std::int64_t bytes, const measure::TestPattern& pattern,
                             std::stop_token stop)
{
    platform::NativeFile file = createUnique(folder, m_path);
    m_present = true;
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
    return leftOver;
}

} // namespace cli
