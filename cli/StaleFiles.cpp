#include "StaleFiles.h"

#include "NativeFile.h"
#include "PlatformError.h"
#include "System.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace cli {

namespace {

std::filesystem::path nativePath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Name(const std::filesystem::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

constexpr auto kBusyPause = std::chrono::milliseconds(500);
constexpr int kBusyTries = 20;

bool busy(const std::exception& error)
{
    const auto* failure = dynamic_cast<const platform::Error*>(&error);
    return failure && failure->code() == std::errc::device_or_resource_busy;
}


} // namespace

void removeStaleFiles(const platform::ResolvedPath& folder, const OwnerOfName& ownerOf, StaleFiles& into,
                      std::stop_token stop)
{
    // Names first, then each one looked at again on its own: the listing
    // says nothing that still holds when the file is removed.
    std::vector<std::string> candidates;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(nativePath(folder.native()), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = utf8Name(entry->path());
        const std::optional<unsigned long> owner = ownerOf(name);
        if (owner && !isRunningInstance(*owner))
            candidates.push_back(name);
    }
    if (error) {
        into.problems.push_back("Cannot look for files earlier runs left in " + platform::quotedPath(folder.native()) + ": "
                                + error.message());
        return;
    }
    for (const std::string& name : candidates) {
        for (int tries = 1;; ++tries) {
            try {
                const std::string path = folder.child(name).native();
                const auto found = platform::lookupEntry(path);
                if (found && found->type == platform::EntryType::RegularFile) {
                    platform::removeEntry(path);
                    into.removed.push_back(path);
                }
            } catch (const std::exception& failure) {
                if (busy(failure) && tries < kBusyTries && !stop.stop_requested()) {
                    std::this_thread::sleep_for(kBusyPause);
                    continue;
                }
                into.problems.push_back(failure.what());
            }
            break;
        }
    }
}

} // namespace cli
