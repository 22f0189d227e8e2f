#pragma once

#include "ResolvedPath.h"

#include <memory>
#include <optional>
#include <string_view>

namespace platform {

// Creates a folder of that name, and only a new one: any entry of the name
// (a folder, a file, a link) makes it fail, so that what somebody else made
// is never taken over. Throws Error.
void createFolder(const ResolvedPath& folder);

// Removes a folder that is empty; a folder that still holds anything, or a
// link, stays and the error says why. Throws Error.
void removeFolder(const ResolvedPath& folder);

// The names in a folder, one at a time, in the order the file system gives
// them, "." and ".." left out. Nothing is collected, so a folder of any size
// is read in the same memory. Every failure throws Error naming the folder.
class FolderListing {
public:
    explicit FolderListing(const ResolvedPath& folder);
    FolderListing(FolderListing&&) noexcept;
    FolderListing& operator=(FolderListing&&) noexcept;
    ~FolderListing();

    // The next name, valid until the next call; nothing after the last.
    std::optional<std::string_view> next();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
