#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// This machine's name as every file the program makes carries it: cut down
// to letters, digits and '-', so that it can only ever name a file in the
// folder it is put in, on any file system.
std::string fileNameHost(const std::string& host);

// The name of the copy in the target folder: dozozeda-<host>-<pid>.tmp, so
// that many machines, and many runs on one machine, can test one folder
// at once.
std::string copyName(const std::string& host, unsigned long processId);

// The process whose copy `name` is, when it is one this host made; nothing
// for any other name.
std::optional<unsigned long> copyOwner(std::string_view name, const std::string& host);

// The process id that `name` holds between `prefix` and `suffix`, digits
// only; nothing when it is not made that way.
std::optional<unsigned long> processIdBetween(std::string_view name, std::string_view prefix, std::string_view suffix);

} // namespace cli
