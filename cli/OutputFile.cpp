#include "OutputFile.h"

#include "CopyName.h"
#include "NativeFile.h"
#include "System.h"

namespace cli {

namespace {

#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

// What a previous result may hold at most: a metrics file is a few KiB.
constexpr std::size_t kPreviousLimit = 1024 * 1024;

} // namespace

void OutputFile::chooseTemporary(const std::string& host)
{
    const std::size_t cut = m_target.find_last_of(kSeparators);
    std::string folder = ".";
    if (cut != std::string::npos)
        folder = m_target.substr(0, cut == 0 || m_target[cut - 1] == ':' ? cut + 1 : cut);
    const std::string prefix = m_target.substr(cut == std::string::npos ? 0 : cut + 1) + ".tmp-" + fileNameHost(host) + "-";
    removeStaleFiles(platform::ResolvedPath::fromSystem(folder),
                     [&](std::string_view name) { return processIdBetween(name, prefix, ""); }, m_stale);
    m_temporary = m_target + ".tmp-" + fileNameHost(host) + "-" + std::to_string(processId());
}

std::string OutputFile::previous() const
{
    if (m_way != Way::Rename)
        return {};
    try {
        const auto entry = platform::lookupTarget(m_target);
        if (!entry || entry->type != platform::EntryType::RegularFile)
            return {};
        platform::NativeFile file = platform::NativeFile::open(m_target, platform::NativeFile::Mode::Read);
        std::string text(kPreviousLimit, '\0');
        std::size_t length = 0;
        while (length < text.size()) {
            const std::size_t n = file.read(text.data() + length, text.size() - length);
            if (n == 0)
                break;
            length += n;
        }
        text.resize(length);
        return text;
    } catch (const std::exception&) {
        // A file that cannot be read holds nothing this run can use; the
        // rename that replaces it says whether it can be written.
        return {};
    }
}

std::string OutputFile::lineEndAfter(char last, const std::string& text)
{
    if (last == '\n')
        return {};
    // Cut between the CR and the LF of a CSV row.
    if (last == '\r')
        return "\n";
    return text.ends_with("\r\n") ? "\r\n" : "\n";
}

} // namespace cli
