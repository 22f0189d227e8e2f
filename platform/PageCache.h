#pragma once

// Linux only: what this machine's page cache holds of one open file, and
// emptying it. A read timed while the file is in memory measures memory, not
// the share; these tell whether that can happen and keep it from happening.

#include "ShareMounts.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The share of the file's pages in the page cache, from 0 to 1; nothing when
// it cannot be told. cachestat(2) where the kernel has it (6.5 on), else
// mincore(2) on a read-only shared mapping. An empty file holds no page: 0.
std::optional<double> residentFraction(int fd);

// The two ways separately. cachestat: nothing on a kernel without it.
// mincore: nothing when the file cannot be mapped (procfs, some FUSE files).
std::optional<double> residentFractionByCachestat(int fd);
std::optional<double> residentFractionByMincore(int fd);

// Asks the kernel to drop the file's cached pages (posix_fadvise DONTNEED).
// Only clean, unmapped pages go, so call it on a fresh descriptor after the
// writer's fsync and close; whether it worked is for residentFraction to say.
// False when the kernel refused the advice outright.
bool dropCachedPages(int fd);

// Whether the file system holding the file was mounted with `fsc` (a cifs or
// NFS mount backed by FS-Cache files on the local disk): such a file can be
// served from those local files although none of its pages is in memory,
// and only O_DIRECT goes past them. `device` is "major:minor" of st_dev.
bool hasLocalFileCache(const std::vector<MountEntry>& mounts, const std::string& device);
bool hasLocalFileCache(int fd);

} // namespace platform
