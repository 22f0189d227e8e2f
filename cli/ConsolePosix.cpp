#include "Console.h"

#include "PlatformError.h"

#include <cerrno>
#include <unistd.h>

namespace cli {

namespace {

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

void writeOut(std::string_view text)
{
    if (!writeAll(STDOUT_FILENO, text))
        throw platform::Error("Cannot write to standard output: " + platform::lastSystemErrorText());
}

void writeErr(std::string_view text) noexcept
{
    writeAll(STDERR_FILENO, text);
}

bool errorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace cli
