#pragma once

#include <string>

namespace cli {

// What the command line needs to know about the machine it runs on.

// This machine's name, as the system gives it.
std::string hostName();
unsigned long processId();
// The user's folder for temporary files, without a trailing separator.
std::string temporaryFolder();
// "linux" or "windows".
std::string operatingSystem();

} // namespace cli
