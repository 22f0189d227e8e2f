#pragma once

// Linux: the share lookup sees only the mounts a test lists, so that what
// else is mounted on the machine (another smbnetfs, a desktop's gvfs) cannot
// change what the test finds.

#include "ShareMounts.h"
#include "TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

class FakeMounts {
public:
    // No mounts at all, and gvfs's folder inside a fresh runtime folder.
    FakeMounts() { ::setenv("XDG_RUNTIME_DIR", m_runtime.path().c_str(), 1); set({}); }
    FakeMounts(const FakeMounts&) = delete;
    FakeMounts& operator=(const FakeMounts&) = delete;
    ~FakeMounts()
    {
        platform::setMountInfoSource({});
        m_saved ? ::setenv("XDG_RUNTIME_DIR", m_saved->c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }

    void set(std::string mountInfo)
    {
        platform::setMountInfoSource([mountInfo = std::move(mountInfo)] { return mountInfo; });
    }

    // A mountinfo line making `folder` the mount point of an `fsType` file
    // system, on the device the folder really lies on: what a lookup that
    // proves a mount by its device then accepts.
    static std::string line(const std::string& folder, const std::string& fsType,
                            const std::string& superOptions = "rw,user_id=0")
    {
        std::string escaped;
        for (const char c : folder)
            escaped += c == ' ' ? std::string("\\040") : c == '\\' ? std::string("\\134") : std::string(1, c);
        return "90 29 " + platform::deviceOf(folder).value_or("0:0") + " / " + escaped + " rw - " + fsType + " "
            + fsType.substr(fsType.find('.') + 1) + " " + superOptions + "\n";
    }

    // gvfs's folder for shares, made, with its mount line.
    std::string gvfsFolder() const
    {
        const std::string folder = m_runtime.file("gvfs");
        std::filesystem::create_directories(folder);
        return folder;
    }
    std::string gvfsLine() const { return line(gvfsFolder(), "fuse.gvfsd-fuse"); }

private:
    const std::optional<std::string> m_saved =
        std::getenv("XDG_RUNTIME_DIR") ? std::optional<std::string>(std::getenv("XDG_RUNTIME_DIR")) : std::nullopt;
    TempFolder m_runtime;
};

} // namespace testsupport
