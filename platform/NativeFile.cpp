#include "NativeFile.h"

#include <utility>

// Owning the handle is the same on every system; opening, reading, writing
// and closing it are in NativeFilePosix.cpp and NativeFileWindows.cpp.

namespace platform {

NativeFile::NativeFile(std::intptr_t handle, std::string path)
    : m_handle(handle)
    , m_path(std::move(path))
{
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kClosedHandle))
    , m_path(std::move(other.m_path))
{
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_handle = std::exchange(other.m_handle, kClosedHandle);
        m_path = std::move(other.m_path);
    }
    return *this;
}

NativeFile::~NativeFile()
{
    discard();
}

bool NativeFile::isOpen() const
{
    return m_handle != kClosedHandle;
}

} // namespace platform
