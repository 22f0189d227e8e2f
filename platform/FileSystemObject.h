#pragma once

#include "TextStream.h"

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

namespace platform {

// The file operations the windows use. Paths are UTF-8 and may mix both
// separators (see Paths.h); a share address may stand wherever a path does
// (see ShareAddress.h). Every failure throws platform::Error.
class FileSystemObject {
public:
    enum class IOMode { ForReading = 1, ForWriting = 2, ForAppending = 8 };

    bool FileExists(const std::string& path) const;

    // Creates (or, with overwrite, empties) the file and returns a stream on it.
    std::shared_ptr<TextStream> CreateTextFile(const std::string& path, bool overwrite) const;

    // Only writing is needed here: the stream starts on an emptied file.
    std::shared_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create) const;

    // Succeeds only for an existing, reachable folder.
    void GetFolder(const std::string& path) const;

    // Copies a file into a folder (a destination ending in a separator) or to
    // a file path and returns the number of bytes copied. The copy is on
    // stable storage when this returns. A file of the same name is replaced,
    // never written through (a link there is removed; the file it pointed to
    // is untouched). A copy onto its own source is refused before anything is
    // written. A copy that fails or is stopped part-way removes what it wrote;
    // when the target refuses that too, the error says so.
    std::int64_t CopyFile(const std::string& source, const std::string& destination, bool overwrite,
                          std::stop_token stop = {}) const;
};

} // namespace platform
