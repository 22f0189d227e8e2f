#include "CopyName.h"

#include <charconv>

namespace cli {

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

std::string copyName(const std::string& host, unsigned long processId)
{
    return "dozozeda-" + fileNameHost(host) + "-" + std::to_string(processId) + ".tmp";
}

std::optional<unsigned long> copyOwner(std::string_view name, const std::string& host)
{
    return processIdBetween(name, "dozozeda-" + fileNameHost(host) + "-", ".tmp");
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
