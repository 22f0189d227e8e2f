#pragma once

#include "ResolvedPath.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Deletes one file; throws when it is missing or cannot be deleted.
void DeleteFile(const ResolvedPath& path);

// Removes what a failed or stopped write left behind. Returns nothing when it
// is gone, otherwise a clause to add to the write's own error, so that nobody
// assumes the folder is clean.
std::string removeLeftOver(const ResolvedPath& path) noexcept;

// The size of a file in bytes; throws when it is missing.
std::int64_t FileLen(const ResolvedPath& path);

// The folder that holds the program's executable. An installed copy sits in
// a folder its user cannot write (/usr/bin), so then the per-user data folder
// given by setProgramFolderFallback() is used instead, created on demand.
// Every caller composes the test file's path from this one answer.
std::string ProgramFolder();

// The rule behind ProgramFolder(), for a given executable folder. The
// folder the program is installed into counts as one its user cannot write
// even when root can: a system folder is no place for a test file.
std::string chooseProgramFolder(const std::string& executableFolder, const std::function<std::string()>& fallback,
                                const std::string& installedFolder = {});

void setProgramFolderFallback(std::function<std::string()> fallback, std::string installedFolder = {});

// Pins the program folder, for tests that must not write beside the binary.
void setProgramFolderOverride(std::optional<std::string> folder);

// Removes leading and trailing spaces (spaces only, not tabs or line ends).
std::string Trim(std::string_view text);

// Decimal digits, a minus sign when negative, no leading space.
std::string IntToText(long long value);

} // namespace platform
