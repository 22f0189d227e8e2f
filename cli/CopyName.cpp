#include "CopyName.h"

namespace cli {

std::string namePrefix(const std::string& host, unsigned long processId)
{
    constexpr std::size_t kMaxHostLength = 63;
    std::string safe;
    for (const char c : host.substr(0, kMaxHostLength)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        safe += plain ? c : '_';
    }
    if (safe.empty())
        safe = "host";
    return "dozozeda-" + safe + "-" + std::to_string(processId);
}

std::string copyName(const std::string& host, unsigned long processId)
{
    return namePrefix(host, processId) + ".tmp";
}

std::string streamCopyName(const std::string& prefix, int stream)
{
    return prefix + (stream == 1 ? "" : ".s" + std::to_string(stream)) + ".tmp";
}

std::string smallFilesFolderName(const std::string& prefix)
{
    return prefix + ".files";
}

std::string folderTreeName(const std::string& prefix)
{
    return prefix + ".folders";
}

} // namespace cli
