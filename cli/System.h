#pragma once

#include <cstdint>
#include <optional>
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

// Whether process `processId` is a dozozeda-cli that runs now. False when
// no process has that id, or another program has it since; true when that
// cannot be told (a process of another user hidden from this one), so that
// no file of a live run is ever taken for a stale one.
bool isRunningInstance(unsigned long processId);

// The bytes this user may still write to the folder's file system; nothing
// when the system does not say.
std::optional<std::int64_t> freeBytes(const std::string& folder);

} // namespace cli
