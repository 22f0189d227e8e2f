#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// This machine's name as every file the program makes carries it: cut down
// to letters, digits and '-', so that it can only ever name a file in the
// folder it is put in, on any file system.
std::string fileNameHost(const std::string& host);

// What every name the program makes in a target folder starts with:
// dozozeda-<host>-<pid>, so that many machines, and many runs on one
// machine, can test one folder at once, and so that a host can tell its own
// leftovers by name. A '.' follows the process id in every such name, which
// no host part holds, so no host's names can be read as another's.
std::string namePrefix(const std::string& host, unsigned long processId);

// The name of the copy in the target folder: <prefix>.tmp.
std::string copyName(const std::string& host, unsigned long processId);
// The copy of stream `stream` (from 1): the copy's name for the first,
// <prefix>.s<stream>.tmp for the others.
std::string streamCopyName(const std::string& prefix, int stream);
// The folder the small-file test makes: <prefix>.files.
std::string smallFilesFolderName(const std::string& prefix);
// The root of the folder tree: <prefix>.folders.
std::string folderTreeName(const std::string& prefix);

// The process whose copy `name` is, when it is one this host made (the
// first stream's or another's); nothing for any other name.
std::optional<unsigned long> copyOwner(std::string_view name, const std::string& host);

// The process id that `name` holds between `prefix` and `suffix`, digits
// only; nothing when it is not made that way.
std::optional<unsigned long> processIdBetween(std::string_view name, std::string_view prefix, std::string_view suffix);

} // namespace cli
