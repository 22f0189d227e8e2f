#include "FolderTree.h"

#include "Folder.h"
#include "PlatformError.h"

#include <system_error>

namespace measure {

namespace {

constexpr std::string_view kNotRemoved = "; what was written could not be removed either: ";

std::string folders(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " folder" : " folders");
}

// The folder numbered `number` (from 1) is the ((number - 1) % 10)-th in
// its parent, numbered (number - 1) / 10, the root being 0.
std::string nameOf(std::int64_t number)
{
    return "d" + std::to_string((number - 1) % kTreeFanOut);
}

class FolderTree {
public:
    FolderTree(const FolderTreePlan& plan, std::stop_token stop, const PhaseObserver& observer)
        : m_plan(plan)
        , m_stop(std::move(stop))
        , m_observer(observer)
    {
    }

    FolderTreeTiming run()
    {
        if (m_stop.stop_requested())
            throw platform::Cancelled();
        platform::createFolder(m_plan.root);
        return platform::undoingOnFailure(
            [&] {
                FolderTreeTiming timing;
                timing.phases.push_back(phase("create", [&](std::int64_t i) {
                    platform::createFolder(path(i));
                    m_made = i;
                }));
                timing.phases.push_back(phase("enumerate", [&](std::int64_t i) { list(i); }));
                // Children first: the highest numbers are the deepest.
                timing.phases.push_back(phase("delete", [&](std::int64_t i) {
                    const std::int64_t number = m_plan.folders - i + 1;
                    platform::removeFolder(path(number));
                    m_made = number - 1;
                }));
                try {
                    platform::removeFolder(m_plan.root);
                } catch (const platform::Error& error) {
                    timing.leftOver = rootStays(error);
                }
                return timing;
            },
            [&] { return cleanUp(); });
    }

private:
    platform::ResolvedPath path(std::int64_t number) const
    {
        if (number == 0)
            return m_plan.root;
        return path((number - 1) / kTreeFanOut).child(nameOf(number));
    }

    PhaseTiming phase(std::string_view name, const std::function<void(std::int64_t)>& operation)
    {
        if (m_observer)
            m_observer(name);
        return timePhase(name, m_plan.folders, m_stop, operation);
    }

    void list(std::int64_t number)
    {
        const std::int64_t first = number * kTreeFanOut + 1;
        const std::int64_t last = std::min(m_plan.folders, first + kTreeFanOut - 1);
        const std::int64_t expected = std::max<std::int64_t>(0, last - first + 1);
        std::int64_t found = 0;
        platform::FolderListing listing(path(number));
        while (const auto name = listing.next()) {
            if (name->size() == 2 && (*name)[0] == 'd' && (*name)[1] >= '0' && (*name)[1] <= '9')
                ++found;
        }
        if (found != expected)
            throw platform::Error("Cannot list the folder " + platform::quotedPath(path(number).native())
                                  + ": it lists " + std::to_string(found) + " of the " + folders(expected)
                                  + " made in it");
    }

    std::string rootStays(const platform::Error& error) const
    {
        const std::string root = platform::quotedPath(m_plan.root.native());
        if (error.code() == std::errc::directory_not_empty)
            return "the folder " + root + " stays: it holds something this test did not make, which it leaves alone";
        return "the folder " + root + " stays (" + error.what() + ")";
    }

    // Removes the folders this test made, deepest first, then the root. A
    // folder that holds something of another's stays, and so do the folders
    // above it; the first other failure (a share that stopped answering)
    // ends the removal at once.
    std::string cleanUp() noexcept
    {
        try {
            std::int64_t stayed = 0;
            std::string first;
            for (std::int64_t number = m_made; number >= 1; --number) {
                try {
                    platform::removeFolder(path(number));
                } catch (const platform::Error& error) {
                    if (error.code() == std::errc::no_such_file_or_directory)
                        continue;
                    if (first.empty())
                        first = error.what();
                    if (error.code() != std::errc::directory_not_empty) {
                        stayed += number;
                        break;
                    }
                    ++stayed;
                }
            }
            if (stayed > 0)
                return std::string(kNotRemoved) + "the folder " + platform::quotedPath(m_plan.root.native())
                    + " stays with " + folders(stayed) + " of this test's in it (" + first + ")";
            platform::removeFolder(m_plan.root);
            return {};
        } catch (const platform::Error& error) {
            return std::string(kNotRemoved) + rootStays(error);
        } catch (const std::exception& error) {
            return std::string(kNotRemoved) + error.what();
        }
    }

    const FolderTreePlan& m_plan;
    const std::stop_token m_stop;
    const PhaseObserver& m_observer;
    // Folders 1 ... m_made are this test's and may still be there.
    std::int64_t m_made = 0;
};

} // namespace

FolderTreeTiming timeFolderTree(const FolderTreePlan& plan, std::stop_token stop, const PhaseObserver& phaseStarted)
{
    if (plan.folders < 1 || plan.folders > kMaxTreeFolders)
        throw platform::Error("Cannot test a folder tree of " + std::to_string(plan.folders)
                              + " folders: out of range");
    return FolderTree(plan, std::move(stop), phaseStarted).run();
}

} // namespace measure
