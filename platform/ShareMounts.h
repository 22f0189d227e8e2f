#pragma once

// Linux only: where a share address is mounted right now. Three kinds of
// mount are understood, looked at in this order: kernel SMB mounts (cifs,
// smb3), gvfs (what GNOME's file manager uses) and smbnetfs.

#include "ShareAddress.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One line of /proc/self/mountinfo, with the kernel's octal escapes ("\040"
// for a space) undone.
struct MountEntry {
    std::string mountPoint;
    std::string mountOptions;  // this mount's own: "rw,..." or "ro,..."
    std::string fsType;
    std::string source;
    std::string superOptions;  // the file system's: "addr=...,uid=...,..."
    std::string device;        // "major:minor", as stat's st_dev names it
};

std::vector<MountEntry> parseMountInfo(std::string_view text);

// This process's /proc/self/mountinfo, or what setMountInfoSource() gives.
std::string readMountInfo();

// Tests give the lookup mounts of their own, so that what else is mounted on
// the machine cannot change what they see; an empty function restores
// /proc/self/mountinfo.
void setMountInfoSource(std::function<std::string()> source);

// "major:minor" of the device a path lies on, as MountEntry::device names
// it; nothing when the path cannot be reached.
std::optional<std::string> deviceOf(const std::string& path, std::string* why = nullptr);

// The addresses a server name stands for, numeric.
using AddressLookup = std::function<std::vector<std::string>(const std::string& server)>;

// A cifs or smb3 mount whose source is //server/share[/prefix]. Names compare
// case-insensitively, as SMB does. The server may have been mounted under
// another name or by its address: the mount's addr= is then compared with what
// the typed name stands for (looked up only then). A mount of a subfolder only
// serves addresses below it; of several mounts the deepest wins, then a
// read-write one, then one whose files belong to `uid`. The kernel does not
// show the port, so an address with a port other than 445 never matches.
std::optional<std::string> findCifsFolder(const ShareAddress& address, const std::vector<MountEntry>& mounts,
                                          const AddressLookup& lookup, unsigned uid);

// gvfs keeps one folder per mounted share in `gvfsFolder`, named like
// "smb-share:port=1445,server=nas,share=media,user=alice". Server, share and
// port must match; the user need not (the share is the same whoever mounted
// it), though a mount by the typed user is preferred. The name alone proves
// nothing, as anyone can make such a folder: it counts only inside gvfs's
// own file system, mounted at `gvfsFolder` and holding the folder.
std::optional<std::string> findGvfsFolder(const ShareAddress& address, const std::string& gvfsFolder,
                                          const std::vector<MountEntry>& mounts);

// smbnetfs serves every server below its mount point as <server>/<share>,
// on port 445 only. Of several such mounts the ones of user `uid` come first,
// then the order of the mount table; one that cannot be entered (another
// user's, a daemon that died) or that something else now covers is passed
// over, with a line for `tried` saying why.
std::optional<std::string> findSmbnetfsFolder(const ShareAddress& address, const std::vector<MountEntry>& mounts,
                                              unsigned uid, std::vector<std::string>& tried);

struct MountLookup {
    std::optional<std::string> folder;
    // Mounts that could have served the address but were passed over, and why.
    std::vector<std::string> tried;
};

// The three above, on this process's mounts and $XDG_RUNTIME_DIR/gvfs.
MountLookup findMountedFolder(const ShareAddress& address);

// Lower case, one character at a time (UTF-8 in and out): how share and server
// names are compared. gvfs folds ß to ss, which this does not; it cannot mount
// such a share anyway.
std::string foldCase(std::string_view text);

} // namespace platform
