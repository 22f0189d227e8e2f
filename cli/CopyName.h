#pragma once

#include <string>

namespace cli {

// What every name the program makes in a target folder starts with:
// dozozeda-<host>-<pid>, so that many machines, and many runs on one
// machine, can test one folder at once, and so that a host can tell its
// own leftovers by name. The host name is cut down to letters, digits, '-'
// and '_', so that it can only ever name an entry in that folder, on any
// file system; a '.' follows the process id in every name, so no host's
// names can be read as another's.
std::string namePrefix(const std::string& host, unsigned long processId);

// The copy of the test file: <prefix>.tmp.
std::string copyName(const std::string& host, unsigned long processId);
// The copy of stream `stream` (from 1): the copy's name for the first,
// <prefix>.s<stream>.tmp for the others.
std::string streamCopyName(const std::string& prefix, int stream);
// The folder the small-file test makes: <prefix>.files.
std::string smallFilesFolderName(const std::string& prefix);
// The root of the folder tree: <prefix>.folders.
std::string folderTreeName(const std::string& prefix);

} // namespace cli
