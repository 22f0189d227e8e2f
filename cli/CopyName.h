#pragma once

#include <string>

namespace cli {

// The name of the copy in the target folder: dozozeda-<host>-<pid>.tmp, so
// that many machines, and many runs on one machine, can test one folder
// at once. The host name is cut down to letters, digits and '-', so that it
// can only ever name a file in that folder, on any file system.
std::string copyName(const std::string& host, unsigned long processId);

} // namespace cli
