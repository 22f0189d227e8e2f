#include "FreshLookup.h"

#include "PlatformError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {

std::optional<EntryInfo> lookupEntryFresh(const ResolvedPath& resolved)
{
    const std::string& path = resolved.native();
    refuseNul(path);
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_FORCE_SYNC, STATX_TYPE | STATX_SIZE | STATX_INO,
                &sx)
        != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throwSystemError("look up", path);
    }
    EntryInfo info;
    if (S_ISREG(sx.stx_mode))
        info.type = EntryType::RegularFile;
    else if (S_ISDIR(sx.stx_mode))
        info.type = EntryType::Directory;
    info.size = static_cast<std::int64_t>(sx.stx_size);
    info.identity = {static_cast<std::uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor)), sx.stx_ino};
    return info;
}

} // namespace platform
