#pragma once

#include "ResolvedPath.h"

#include <exception>
#include <string>

namespace testsupport {

// A fresh folder under the system's temporary folder (or `parent`), removed
// with everything in it when the object goes away.
class TempFolder {
public:
    TempFolder();
    explicit TempFolder(const std::string& parent);
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // The same, as the file operations take them.
    platform::ResolvedPath here() const { return platform::ResolvedPath::fromSystem(m_path); }
    platform::ResolvedPath at(const std::string& name) const { return platform::ResolvedPath::fromSystem(file(name)); }

private:
    std::string m_path;
};

// A small tmpfs mounted on a fresh folder: a real file system that fills up.
// Needs root; available() says whether the mount worked.
class SmallDisk {
public:
    explicit SmallDisk(unsigned megabytes, bool readOnly = false);
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    ~SmallDisk();

    bool available() const { return m_mounted; }
    const std::string& path() const { return m_folder.path(); }

private:
    TempFolder m_folder;
    bool m_mounted = false;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// The number of entries in a folder, or -1 when it cannot be read.
int entryCount(const std::string& folder);

// The text of the error f throws, or "(no error)".
template <typename F>
std::string errorOf(F f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace testsupport
