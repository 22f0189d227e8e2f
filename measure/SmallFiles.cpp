#include "SmallFiles.h"

#include "Clock.h"
#include "Folder.h"
#include "FreshLookup.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "UncachedRead.h"

#include <charconv>
#include <cstring>
#include <system_error>

namespace measure {

namespace {

constexpr std::string_view kNamePrefix = "f";
constexpr std::string_view kNameSuffix = ".tmp";
// A stat faster than this share of a delete cannot have asked the server.
constexpr double kFromMemoryFactor = 0.25;
constexpr std::string_view kNotRemoved = "; what was written could not be removed either: ";

// The number in a name this test gives its files; 0 for any other name.
std::int64_t numberOf(std::string_view name)
{
    if (name.size() <= kNamePrefix.size() + kNameSuffix.size() || !name.starts_with(kNamePrefix)
        || !name.ends_with(kNameSuffix))
        return 0;
    const std::string_view digits =
        name.substr(kNamePrefix.size(), name.size() - kNamePrefix.size() - kNameSuffix.size());
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.front() == '0')
        return 0;
    return number;
}

std::string files(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

bool isGone(const platform::Error& error)
{
    return error.code() == std::errc::no_such_file_or_directory;
}

class SmallFiles {
public:
    SmallFiles(const SmallFilesPlan& plan, std::stop_token stop, const PhaseObserver& observer)
        : m_plan(plan)
        , m_stop(std::move(stop))
        , m_observer(observer)
        , m_content(static_cast<std::size_t>(plan.fileBytes))
    {
        plan.pattern.fill(0, m_content);
    }

    SmallFilesTiming run()
    {
        if (m_stop.stop_requested())
            throw platform::Cancelled();
        platform::createFolder(m_plan.folder);
        return platform::undoingOnFailure(
            [&] {
                SmallFilesTiming timing;
                timing.phases.push_back(phase("create", [&](std::int64_t i) { create(i); }));
                timing.phases.push_back(enumerate());
                timing.phases.push_back(phase("stat", [&](std::int64_t i) { stat(i); }));
                PhaseTiming reading = phase("read", [&](std::int64_t i) { read(i); });
                reading.bypass = m_bypass;
                timing.phases.push_back(reading);
                timing.phases.push_back(phase("delete", [&](std::int64_t i) { remove(i); }));
                if (m_plan.fileBytes > 0)
                    timing.phases[0].bytes = timing.phases[3].bytes = m_plan.files * m_plan.fileBytes;
                timing.phases[2].clientCacheSuspect =
                    timing.phases[2].latency.p50 < kFromMemoryFactor * timing.phases[4].latency.p50;
                try {
                    platform::removeFolder(m_plan.folder);
                } catch (const platform::Error& error) {
                    timing.leftOver = folderStays(error);
                }
                return timing;
            },
            [&] { return cleanUp(); });
    }

private:
    platform::ResolvedPath path(std::int64_t number) const { return m_plan.folder.child(smallFileName(number)); }

    PhaseTiming phase(std::string_view name, const std::function<void(std::int64_t)>& operation)
    {
        if (m_observer)
            m_observer(name);
        return timePhase(name, m_plan.files, m_stop, operation);
    }

    void create(std::int64_t number)
    {
        platform::NativeFile file =
            platform::NativeFile::open(path(number).native(), platform::NativeFile::Mode::WriteCreateNew);
        m_made = number;
        if (!m_content.empty())
            file.writeAll(m_content.data(), m_content.size());
        file.sync();
        file.close();
    }

    // One listing of the folder; each entry is an operation, timed from the
    // one before (the first from before the folder was opened), so that the
    // batches a server sends many entries in show as the slow ones.
    PhaseTiming enumerate()
    {
        if (m_observer)
            m_observer("enumerate");
        const platform::Clock& clock = platform::clock();
        Latencies times;
        PhaseTiming timing;
        timing.phase = "enumerate";
        timing.start = clock.now();
        std::chrono::nanoseconds before = timing.start;
        std::int64_t listed = 0;
        platform::FolderListing listing(m_plan.folder);
        while (const auto name = listing.next()) {
            const std::chrono::nanoseconds after = clock.now();
            times.add(after - before);
            before = after;
            ++timing.operations;
            const std::int64_t number = numberOf(*name);
            if (number >= 1 && number <= m_made)
                ++listed;
            if (m_stop.stop_requested())
                throw platform::Cancelled();
        }
        timing.end = clock.now();
        timing.latency = times.summary();
        if (listed != m_plan.files)
            throw platform::Error("Cannot list the folder " + platform::quotedPath(m_plan.folder.native())
                                  + ": it lists " + std::to_string(listed) + " of the " + files(m_plan.files)
                                  + " written");
        return timing;
    }

    void stat(std::int64_t number)
    {
        const platform::ResolvedPath file = path(number);
        const auto entry = platform::lookupEntryFresh(file);
        if (!entry || entry->type != platform::EntryType::RegularFile || entry->size != m_plan.fileBytes)
            throw platform::Error("Cannot look up " + platform::quotedPath(file.native()) + ": it is not the file of "
                                  + std::to_string(m_plan.fileBytes) + " bytes written");
    }

    void read(std::int64_t number)
    {
        const platform::ResolvedPath file = path(number);
        platform::UncachedRead reader(file.native());
        if (number == 1 || reader.bypass() == CacheBypass::None)
            m_bypass = reader.bypass();
        std::size_t offset = 0;
        for (std::span<const char> block = reader.next(); !block.empty(); block = reader.next()) {
            if (block.size() > m_content.size() - offset
                || std::memcmp(block.data(), m_content.data() + offset, block.size()) != 0)
                throw platform::Error("Cannot read " + platform::quotedPath(file.native())
                                      + ": it does not hold the bytes written");
            offset += block.size();
        }
        reader.close();
        if (offset != m_content.size())
            throw platform::Error("Cannot read " + platform::quotedPath(file.native()) + ": it holds "
                                  + std::to_string(offset) + " of the " + std::to_string(m_content.size())
                                  + " bytes written");
    }

    void remove(std::int64_t number)
    {
        platform::removeEntry(path(number).native());
        m_removed = number;
    }

    std::string folderStays(const platform::Error& error) const
    {
        const std::string folder = platform::quotedPath(m_plan.folder.native());
        if (error.code() == std::errc::directory_not_empty)
            return "the folder " + folder + " stays: it holds something this test did not make, which it leaves alone";
        return "the folder " + folder + " stays (" + error.what() + ")";
    }

    // Removes the files this test made that are still there, in order, and
    // then the folder; at the first that cannot go, says what stayed.
    std::string cleanUp() noexcept
    {
        try {
            for (std::int64_t number = m_removed + 1; number <= m_made; ++number) {
                try {
                    platform::removeEntry(path(number).native());
                } catch (const platform::Error& error) {
                    if (!isGone(error)) {
                        const std::int64_t left = m_made - number + 1;
                        return std::string(kNotRemoved) + "the folder " + platform::quotedPath(m_plan.folder.native())
                            + " stays with " + smallFileName(number)
                            + (left == 1 ? "" : " to " + smallFileName(m_made) + " (" + files(left) + ")") + " ("
                            + error.what() + ")";
                    }
                }
                m_removed = number;
            }
            platform::removeFolder(m_plan.folder);
            return {};
        } catch (const platform::Error& error) {
            return std::string(kNotRemoved) + folderStays(error);
        } catch (const std::exception& error) {
            return std::string(kNotRemoved) + error.what();
        }
    }

    const SmallFilesPlan& m_plan;
    const std::stop_token m_stop;
    const PhaseObserver& m_observer;
    std::vector<char> m_content;
    // f1 ... f<m_made> were made by this test; f1 ... f<m_removed> are gone.
    std::int64_t m_made = 0;
    std::int64_t m_removed = 0;
    CacheBypass m_bypass = CacheBypass::None;
};

} // namespace

std::string smallFileName(std::int64_t index)
{
    return std::string(kNamePrefix) + std::to_string(index) + std::string(kNameSuffix);
}

SmallFilesTiming timeSmallFiles(const SmallFilesPlan& plan, std::stop_token stop, const PhaseObserver& phaseStarted)
{
    if (plan.files < 1 || plan.files > kMaxSmallFiles || plan.fileBytes < 0 || plan.fileBytes > kMaxSmallFileBytes)
        throw platform::Error("Cannot test small files: " + std::to_string(plan.files) + " files of "
                              + std::to_string(plan.fileBytes) + " bytes are out of range");
    return SmallFiles(plan, std::move(stop), phaseStarted).run();
}

} // namespace measure
