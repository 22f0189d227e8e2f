#include "FileCopy.h"

#include "PlatformError.h"

#include <memory>

namespace platform {

// Every byte goes through this process on purpose. In-kernel copies
// (copy_file_range, server-side copy) let a file system clone the file or
// copy it on the server, and the measured "transfer" would then never cross
// the network.
std::int64_t copyContents(NativeFile& in, NativeFile& out, std::stop_token stop, const CopyProgress& progress)
{
    const auto buffer = std::make_unique<char[]>(kCopyBlockSize);
    std::int64_t copied = 0;
    for (;;) {
        if (stop.stop_requested())
            throw Cancelled();
        const std::size_t n = in.read(buffer.get(), kCopyBlockSize);
        if (n == 0)
            return copied;
        out.writeAll(buffer.get(), n);
        copied += static_cast<std::int64_t>(n);
        if (progress)
            progress(copied);
    }
}

} // namespace platform
