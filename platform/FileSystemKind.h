#pragma once

#include "ResolvedPath.h"

#include <string>

namespace platform {

// The file system a folder lies on, as far as the system tells it.
struct FileSystemKind {
    // As the system names it: "fuse.smbnetfs", "cifs", "nfs4", "ext4" on
    // Linux; "NTFS", "FAT32" on Windows (a share gives its server's).
    // "unknown" when the system does not say.
    std::string type;
    // Whether its data is reached over a network: a share, not this
    // machine's own disks.
    bool network = false;
    // Which device or volume it is, to tell whether two folders lie on the
    // same one; empty when unknown.
    std::string device;
};

// Throws Error when the folder cannot be reached.
FileSystemKind fileSystemOf(const ResolvedPath& folder);

} // namespace platform
