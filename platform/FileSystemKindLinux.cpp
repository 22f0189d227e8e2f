#include "FileSystemKind.h"

#include "PlatformError.h"
#include "ShareMounts.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

namespace platform {

namespace {

// File systems whose data lives on another machine. FUSE clients carry
// their daemon's name after "fuse.".
bool isNetworkType(std::string_view type)
{
    static constexpr std::array<std::string_view, 22> kNetwork = {
        "cifs",          "smb3",          "smbfs",           "nfs",        "nfs4",          "ceph",
        "9p",            "afs",           "ncpfs",           "coda",       "lustre",        "gpfs",
        "beegfs",        "glusterfs",     "fuse.glusterfs",  "fuse.sshfs", "fuse.smbnetfs", "fuse.gvfsd-fuse",
        "fuse.kio-fuse", "fuse.rclone",   "fuse.s3fs",       "davfs",
    };
    return std::find(kNetwork.begin(), kNetwork.end(), type) != kNetwork.end();
}

bool holds(const std::filesystem::path& mountPoint, const std::filesystem::path& path)
{
    const auto inside = path.lexically_relative(mountPoint);
    return !inside.empty() && *inside.begin() != "..";
}

} // namespace

FileSystemKind fileSystemOf(const ResolvedPath& folder)
{
    namespace fs = std::filesystem;
    std::string why;
    const auto device = deviceOf(folder.native(), &why);
    if (!device)
        throw Error("Cannot tell the file system of " + quotedPath(folder.native()) + ": " + why);
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::path(folder.native()), error);
    // Several mounts can share a device (a bind mount, a share mounted
    // twice); the deepest one that holds the folder is the one it is on.
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : parseMountInfo(readMountInfo())) {
        if (mount.device != *device)
            continue;
        const bool inside = !error && holds(fs::path(mount.mountPoint), canonical);
        const bool bestInside = best && !error && holds(fs::path(best->mountPoint), canonical);
        if (!best || (inside && (!bestInside || mount.mountPoint.size() > best->mountPoint.size())))
            best = &mount;
    }
    const std::string type = best ? best->fsType : "unknown";
    return {type, isNetworkType(type), *device};
}

} // namespace platform
