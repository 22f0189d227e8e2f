#pragma once

// Linux test helpers: an open descriptor, what a folder lives on, the kernel.

#include <fcntl.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace testsupport {

// A read-only descriptor, closed at the end of its scope.
class Descriptor {
public:
    explicit Descriptor(const std::string& path)
        : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    const int fd;
};

inline bool onTmpfs(const std::string& path)
{
    struct statfs info {};
    constexpr long kTmpfsMagic = 0x01021994;
    return ::statfs(path.c_str(), &info) == 0 && info.f_type == kTmpfsMagic;
}

// Whether the running kernel is at least major.minor.
inline bool kernelAtLeast(int major, int minor)
{
    struct utsname name {};
    ::uname(&name);
    int hasMajor = 0;
    int hasMinor = 0;
    std::sscanf(name.release, "%d.%d", &hasMajor, &hasMinor);
    return hasMajor > major || (hasMajor == major && hasMinor >= minor);
}

} // namespace testsupport
