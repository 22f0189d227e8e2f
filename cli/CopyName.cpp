#include "CopyName.h"

#include <charconv>

namespace cli {

namespace {

constexpr std::string_view kCopySuffix = ".tmp";

// Takes a stream's part of a copy's name, ".s<n>" with n from 2, off the
// end of `name`, when it has one.
void dropStream(std::string_view& name)
{
    const std::size_t dot = name.rfind(".s");
    if (dot == std::string_view::npos || dot + 2 == name.size())
        return;
    const std::string_view digits = name.substr(dot + 2);
    int stream = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), stream);
    if (error == std::errc() && end == digits.data() + digits.size() && digits.front() != '0' && stream >= 2)
        name = name.substr(0, dot);
}

} // namespace

std::string fileNameHost(const std::string& host)
{
    constexpr std::size_t kMaxHostLength = 63;
    std::string safe;
    for (const char c : host.substr(0, kMaxHostLength)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        safe += plain ? c : '_';
    }
    return safe.empty() ? "host" : safe;
}

std::string namePrefix(const std::string& host, unsigned long processId)
{
    return "dozozeda-" + fileNameHost(host) + "-" + std::to_string(processId);
}

std::string copyName(const std::string& host, unsigned long processId)
{
    return namePrefix(host, processId) + std::string(kCopySuffix);
}

std::string streamCopyName(const std::string& prefix, int stream)
{
    return prefix + (stream == 1 ? "" : ".s" + std::to_string(stream)) + std::string(kCopySuffix);
}

std::string smallFilesFolderName(const std::string& prefix)
{
    return prefix + ".files";
}

std::string folderTreeName(const std::string& prefix)
{
    return prefix + ".folders";
}

std::optional<unsigned long> copyOwner(std::string_view name, const std::string& host)
{
    if (!name.ends_with(kCopySuffix))
        return std::nullopt;
    name.remove_suffix(kCopySuffix.size());
    dropStream(name);
    return processIdBetween(name, "dozozeda-" + fileNameHost(host) + "-", "");
}

std::optional<unsigned long> processIdBetween(std::string_view name, std::string_view prefix, std::string_view suffix)
{
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    unsigned long id = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.front() == '0')
        return std::nullopt;
    return id;
}

} // namespace cli
