#include "SystemLog.h"

#include <cstdio>
#include <syslog.h>

namespace platform {

void logToSystem(const std::string& text) noexcept
{
    std::fprintf(stderr, "dozozeda: %s\n", text.c_str());
    std::fflush(stderr);
    ::openlog("dozozeda", LOG_PID, LOG_USER);
    ::syslog(LOG_ERR, "%s", text.c_str());
    ::closelog();
}

} // namespace platform
