#pragma once

#include "ResolvedPath.h"
#include "StaleFiles.h"

#include <string>

namespace cli {

// Removes from `target` the folders that the files and folders tests of
// this host's runs made (<prefix>.files, <prefix>.folders) when their
// process no longer runs, with what is in them, and adds them to `into`.
// Only what such a test makes is removed: files f<n>.tmp in a files
// folder, folders d0 ... d9 in a tree. A folder that holds anything else
// (or a link) stays, with that in it and the folders above it, since it may
// be someone else's.
void removeStaleTestFolders(const platform::ResolvedPath& target, const std::string& host, StaleFiles& into);

} // namespace cli
