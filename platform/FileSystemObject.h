#pragma once

#include "FileCopy.h"
#include "ResolvedPath.h"
#include "TextStream.h"

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

namespace platform {

// The file operations the windows use, on paths already resolved (see
// ResolvedPath.h): nothing here looks a typed path up again. Every failure
// throws platform::Error.
class FileSystemObject {
public:
    enum class IOMode { ForReading = 1, ForWriting = 2, ForAppending = 8 };

    bool FileExists(const ResolvedPath& path) const;

    // Creates (or, with overwrite, empties) the file and returns a stream on it.
    std::shared_ptr<TextStream> CreateTextFile(const ResolvedPath& path, bool overwrite) const;

    // Only writing is needed here: the stream starts on an emptied file.
    std::shared_ptr<TextStream> OpenTextFile(const ResolvedPath& path, IOMode mode, bool create) const;

    // Succeeds only for an existing, reachable folder.
    void GetFolder(const ResolvedPath& path) const;

    // Copies a file to a file path and returns the number of bytes copied. The copy is on
    // stable storage when this returns. A file of the same name is replaced,
    // never written through (a link there is removed; the file it pointed to
    // is untouched). A copy onto its own source is refused before anything is
    // written. A copy that fails or is stopped part-way removes what it wrote;
    // when the target refuses that too, the error says so. `progress` is
    // told the bytes copied after every block.
    std::int64_t CopyFile(const ResolvedPath& source, const ResolvedPath& destination, bool overwrite,
                          std::stop_token stop = {}, const CopyProgress& progress = {}) const;
};

} // namespace platform
