#include "FileCopy.h"

#include "PlatformError.h"

#include <memory>

#ifdef __linux__
#include <cerrno>
#include <unistd.h>
#endif

namespace platform {

namespace {

void copyWithBuffer(NativeFile& in, NativeFile& out)
{
    const auto buffer = std::make_unique<char[]>(kCopyBlockSize);
    for (;;) {
        const std::size_t n = in.read(buffer.get(), kCopyBlockSize);
        if (n == 0)
            return;
        out.writeAll(buffer.get(), n);
    }
}

#ifdef __linux__
// copy_file_range lets the kernel (or the file system) move the data without
// a trip through user space. Between different file systems, which a share
// always is, it answers EXDEV at the first call and the buffered loop runs.
bool copyInKernel(NativeFile& in, NativeFile& out)
{
    const int inFd = static_cast<int>(in.nativeHandle());
    const int outFd = static_cast<int>(out.nativeHandle());
    bool first = true;
    for (;;) {
        const ssize_t n = ::copy_file_range(inFd, nullptr, outFd, nullptr, kCopyBlockSize * 64, 0);
        if (n > 0) {
            first = false;
            continue;
        }
        if (n == 0)
            return true;
        if (errno == EINTR)
            continue;
        const bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS
            || errno == EOPNOTSUPP || errno == EPERM || errno == EBADF;
        if (first && unsupported)
            return false;
        throwSystemError("write", out.path());
    }
}
#endif

} // namespace

void copyContents(NativeFile& in, NativeFile& out)
{
#ifdef __linux__
    if (copyInKernel(in, out))
        return;
#endif
    copyWithBuffer(in, out);
}

} // namespace platform
