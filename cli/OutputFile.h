#pragma once

#include "StaleFiles.h"

#include <cstdint>
#include <string>

namespace cli {

// The file a result goes to with --output. Opened before anything is
// measured, so a file that cannot be written costs no run.
//
// Only a regular file is replaced or appended to as below. A FIFO, a device,
// a pipe, the console, or the file that is this process's standard output
// or error is written to as it is, like standard output: renaming over it
// would take it away from whoever reads it. A folder is refused.
class OutputFile {
public:
    enum class Mode {
        // Written to a temporary file beside it, then renamed over it: a
        // reader (node_exporter's textfile collector, a script) never sees
        // half a result. The temporary name, <file>.tmp-<host>-<pid>, does
        // not end like the file's; those that runs killed before they could
        // rename them leave are removed when the next one starts. A link is
        // followed: its target is replaced and the link stays.
        Replace,
        // Added to the end while the file is locked, so that runs appending
        // to one history at once neither mix their lines nor each take the
        // file for new. A failed append is cut off again.
        Append,
    };

    // `host` is this machine's name, which the temporary file's name holds.
    OutputFile(const std::string& path, Mode mode, const std::string& host);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes a temporary file that was never committed.
    ~OutputFile();

    // Writes `header` before `text` when the file is replaced or holds
    // nothing yet, which only the commit can tell: another run may have
    // appended since the file was opened. An append starts on a line of its
    // own. Throws platform::Error.
    void commit(const std::string& text, const std::string& header = {});

    // What puts an append on a line of its own after the file's last byte:
    // a run killed mid-write, or another program, may have left one open.
    static std::string lineEndAfter(char last, const std::string& text);

    // What the file held before this run, when it is a regular file that
    // this run replaces (up to 1 MiB); empty otherwise.
    std::string previous() const;

    // The temporary files of earlier runs that were removed beside the file.
    const StaleFiles& staleFiles() const { return m_stale; }

private:
    enum class Way { Rename, LockedAppend, Through };

    // Removes earlier runs' temporary files beside m_target and names this
    // run's.
    void chooseTemporary(const std::string& host);

    std::string m_path;
    // What the rename replaces: the path with its links followed.
    std::string m_target;
    std::string m_temporary;
    std::intptr_t m_handle;
    Mode m_mode;
    Way m_way = Way::Rename;
    StaleFiles m_stale;
};

} // namespace cli
