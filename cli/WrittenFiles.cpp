#include "WrittenFiles.h"

#include "PlatformError.h"

#include <algorithm>

namespace cli {

void WrittenFiles::add(const std::string& path, std::string what, std::string where)
{
    const std::lock_guard lock(m_mutex);
    m_entries.push_back({path, std::move(what), std::move(where)});
}

void WrittenFiles::remove(const std::string& path)
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const Entry& entry) { return entry.path == path; });
}

std::string WrittenFiles::describe(std::string_view except) const
{
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> parts;
    for (const Entry& entry : m_entries) {
        if (entry.what != except)
            parts.push_back(entry.what + " " + platform::quotedPath(entry.path) + " " + entry.where);
    }
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

bool WrittenFiles::contains(std::string_view what) const
{
    const std::lock_guard lock(m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.what == what; });
}

WrittenFiles& writtenFiles()
{
    static WrittenFiles files;
    return files;
}

std::string endedAtOnceMessage(std::string_view what)
{
    const std::string left = writtenFiles().describe();
    return "dozozeda-cli: stopped at once by " + std::string(what) + "; "
        + (left.empty() ? std::string("nothing was left behind")
                        : "left behind: " + left + " (the next run into the same folders removes them)")
        + "\n";
}

} // namespace cli
