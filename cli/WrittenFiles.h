#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The files this process has made and not yet removed: the local test file,
// the copy on the share, the output's temporary file. An ending that cannot
// wait for their removal (a second signal, a call the share keeps blocked)
// says from this where each of them stays. Safe to use from any thread.
class WrittenFiles {
public:
    // `what` says which file it is and where, e.g. "the copy", "on the share".
    void add(const std::string& path, std::string what, std::string where);
    void remove(const std::string& path);
    // "the copy '…' on the share, the local test file '…' in the temporary
    // folder"; empty when nothing is left. `except` leaves out what it names.
    std::string describe(std::string_view except = {}) const;
    // Whether a file that `what` names is still there, e.g. "the copy".
    bool contains(std::string_view what) const;

private:
    struct Entry {
        std::string path;
        std::string what;
        std::string where;
    };

    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

// The one list of the process.
WrittenFiles& writtenFiles();

// The line a program stopped at once by `what` ("a second signal") leaves
// on standard error: nothing can be removed any more, so it says what stays.
std::string endedAtOnceMessage(std::string_view what);

} // namespace cli
