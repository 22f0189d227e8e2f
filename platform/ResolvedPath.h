#pragma once

#include <string>
#include <string_view>

namespace platform {

// A path the system opens as it stands. What a person typed becomes one
// through resolvePath() (ShareAddress.h), once, before anything is timed;
// the file operations take only this type, so nothing after the lookup can
// look the typed text up again and be sent somewhere else by a second answer
// (a mount that went away meanwhile, a backslash read another way).
class ResolvedPath {
public:
    // Names nothing: every operation on it fails.
    ResolvedPath() = default;

    // A path the program has from the system itself (the temporary folder,
    // its own folder), never read as a share address: a TMPDIR that starts
    // with "//" is a local folder, not a server.
    static ResolvedPath fromSystem(std::string path);

    // The entry `name` inside this folder. Throws Error for a name that
    // would lead anywhere else: empty, "." or "..", or holding a separator
    // or a NUL.
    ResolvedPath child(std::string_view name) const;

    const std::string& native() const { return m_path; }

    bool operator==(const ResolvedPath&) const = default;

private:
    explicit ResolvedPath(std::string path);

    std::string m_path;
};

} // namespace platform
