#include "StaleTestFolders.h"

#include "CopyName.h"
#include "Folder.h"
#include "NativeFile.h"
#include "System.h"

#include <vector>

namespace cli {

namespace {

enum class Kind { Files, Tree };

std::vector<std::string> namesIn(const platform::ResolvedPath& folder)
{
    std::vector<std::string> names;
    platform::FolderListing listing(folder);
    while (const auto name = listing.next())
        names.emplace_back(*name);
    return names;
}

bool isA(const platform::ResolvedPath& path, platform::EntryType type)
{
    const auto entry = platform::lookupEntry(path.native());
    return entry && entry->type == type;
}

// Whether `name` is one the test of that kind makes in its folders.
bool ours(Kind kind, const std::string& name)
{
    if (kind == Kind::Files)
        return processIdBetween(name, "f", ".tmp").has_value();
    return name.size() == 2 && name[0] == 'd' && name[1] >= '0' && name[1] <= '9';
}

// Removes `folder` and what is in it when all of it is the test's; false
// (and nothing removed at that level) when anything else is there.
bool removeWhole(Kind kind, const platform::ResolvedPath& folder)
{
    const std::vector<std::string> names = namesIn(folder);
    const platform::EntryType type = kind == Kind::Files ? platform::EntryType::RegularFile
                                                         : platform::EntryType::Directory;
    for (const std::string& name : names) {
        if (!ours(kind, name) || !isA(folder.child(name), type))
            return false;
    }
    for (const std::string& name : names) {
        if (kind == Kind::Files)
            platform::removeEntry(folder.child(name).native());
        else if (!removeWhole(kind, folder.child(name)))
            return false;
    }
    platform::removeFolder(folder);
    return true;
}

} // namespace

void removeStaleTestFolders(const platform::ResolvedPath& target, const std::string& host, StaleFiles& into)
{
    const std::string prefix = "dozozeda-" + fileNameHost(host) + "-";
    std::vector<std::pair<Kind, std::string>> candidates;
    try {
        for (const std::string& name : namesIn(target)) {
            for (const auto& [kind, suffix] : {std::pair{Kind::Files, ".files"}, std::pair{Kind::Tree, ".folders"}}) {
                const auto owner = processIdBetween(name, prefix, suffix);
                if (owner && !isRunningInstance(*owner))
                    candidates.emplace_back(kind, name);
            }
        }
    } catch (const std::exception& error) {
        into.problems.push_back(error.what());
        return;
    }
    for (const auto& [kind, name] : candidates) {
        const platform::ResolvedPath folder = target.child(name);
        try {
            if (isA(folder, platform::EntryType::Directory) && removeWhole(kind, folder))
                into.removed.push_back(folder.native());
        } catch (const std::exception& error) {
            into.problems.push_back(error.what());
        }
    }
}

} // namespace cli
