#pragma once

#include <cstdint>
#include <string>

namespace cli {

// The file a result goes to with --output. Opened before anything is
// measured, so a file that cannot be written costs no run.
class OutputFile {
public:
    enum class Mode {
        // Written to a temporary file beside it, then renamed over it: a
        // reader (node_exporter's textfile collector, a script) never sees
        // half a result. The temporary name does not end like the file's.
        Replace,
        // Added to the end in one write, so that two runs appending to one
        // history at once do not mix their lines.
        Append,
    };

    OutputFile(const std::string& path, Mode mode);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes a temporary file that was never committed.
    ~OutputFile();

    // Whether the file held nothing when opened: a history's header goes
    // only into a new file.
    bool isNew() const { return m_new; }
    // Throws platform::Error.
    void commit(const std::string& text);

private:
    std::string m_path;
    std::string m_temporary;
    std::intptr_t m_handle;
    bool m_new = true;
};

} // namespace cli
