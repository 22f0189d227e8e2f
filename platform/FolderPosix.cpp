#include "Folder.h"

#include "PlatformError.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

void createFolder(const ResolvedPath& folder)
{
    const std::string& path = folder.native();
    refuseNul(path);
    // mkdir never follows a link in the last component: EEXIST for it too.
    if (::mkdir(path.c_str(), 0777) != 0)
        throwSystemError("create the folder", path);
}

void removeFolder(const ResolvedPath& folder)
{
    const std::string& path = folder.native();
    refuseNul(path);
    if (::rmdir(path.c_str()) != 0)
        throwSystemError("remove the folder", path);
}

struct FolderListing::Impl {
    std::string path;
    DIR* dir = nullptr;

    ~Impl()
    {
        if (dir)
            ::closedir(dir);
    }
};

FolderListing::FolderListing(const ResolvedPath& folder)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->path = folder.native();
    refuseNul(m_impl->path);
    m_impl->dir = ::opendir(m_impl->path.c_str());
    if (!m_impl->dir)
        throwSystemError("list the folder", m_impl->path);
}

FolderListing::FolderListing(FolderListing&&) noexcept = default;
FolderListing& FolderListing::operator=(FolderListing&&) noexcept = default;
FolderListing::~FolderListing() = default;

std::optional<std::string_view> FolderListing::next()
{
    for (;;) {
        // readdir answers nullptr both at the end and on an error; only
        // errno tells them apart.
        errno = 0;
        const dirent* entry = ::readdir(m_impl->dir);
        if (!entry) {
            if (errno != 0)
                throwSystemError("list the folder", m_impl->path);
            return std::nullopt;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            return name;
    }
}

} // namespace platform
