#pragma once

#include "NativeFile.h"
#include "ResolvedPath.h"

#include <optional>

namespace platform {

// What lies at a path as the file system's own source has it now (a network
// file system's server), rather than as this machine remembers it: Linux
// asks with statx's AT_STATX_FORCE_SYNC, which FUSE, cifs and NFS answer by
// asking again. Windows has no such request: GetFileAttributesEx may be
// answered from the redirector's cache of file information, and whoever
// times it has to tell that from a server's answer by its speed. A link in
// the last component is not followed. Nothing when no entry of that name
// exists; other failures throw. The identity is left empty on Windows.
std::optional<EntryInfo> lookupEntryFresh(const ResolvedPath& path);

} // namespace platform
