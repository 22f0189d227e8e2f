#pragma once

#include "ResolvedPath.h"
#include "TestPattern.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace cli {

// The file every run copies: written once into the user's temporary folder
// (never the program's), durable before the first run so that its own
// write-back does not compete with the copies, and removed when this object
// goes away. A stop ends the writing within one block. Its name is
// dozozeda-cli-<host>-<pid>-<n>.tmp.
class LocalTestFile {
public:
    // Throws platform::Error before writing anything when the folder's file
    // system has less room than the file needs.
    LocalTestFile(const platform::ResolvedPath& folder, const std::string& host, std::int64_t bytes,
                  const measure::TestPattern& pattern, std::stop_token stop);
    LocalTestFile(const LocalTestFile&) = delete;
    LocalTestFile& operator=(const LocalTestFile&) = delete;
    ~LocalTestFile();

    const platform::ResolvedPath& path() const { return m_path; }
    // Removes the file now; an empty text when it is gone, otherwise why not.
    std::string remove() noexcept;

    // The process that made a local test file of this name on this host.
    static std::optional<unsigned long> ownerOf(std::string_view name, const std::string& host);

private:
    platform::ResolvedPath m_path;
    bool m_present = false;
};

} // namespace cli
