#pragma once

#include <string>

namespace platform {

// Writes one message to standard error and to the system log (syslog, or
// the Windows event log): for what must be said when nobody is left to read
// a window, as when the session ends.
void logToSystem(const std::string& text) noexcept;

} // namespace platform
