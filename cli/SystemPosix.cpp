#include "System.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace cli {

std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

unsigned long processId()
{
    return static_cast<unsigned long>(::getpid());
}

std::string temporaryFolder()
{
    // Only an absolute TMPDIR: a relative one would put the file wherever
    // the program happens to be started.
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir && tmpdir[0] == '/' ? tmpdir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string operatingSystem()
{
    return "linux";
}

namespace {

// /proc/<pid>/stat: "<pid> (<name>) <state> ...", the name possibly
// holding spaces and parentheses itself.
std::optional<std::string> processStat(const std::string& id)
{
    std::ifstream in("/proc/" + id + "/stat");
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

bool isRunningInstance(unsigned long processId)
{
    const auto id = static_cast<pid_t>(processId);
    if (id <= 0 || static_cast<unsigned long>(id) != processId)
        return false;
    if (id == ::getpid())
        return true;
    // Asks the kernel, which /proc mounted with hidepid does not.
    if (::kill(id, 0) != 0 && errno == ESRCH)
        return false;
    // Without /proc nothing can be told of any process.
    if (!processStat("self"))
        return true;
    const auto stat = processStat(std::to_string(id));
    if (!stat)
        return true;
    const std::size_t open = stat->find('(');
    const std::size_t close = stat->rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= stat->size())
        return true;
    // A zombie no longer writes; its parent just has not looked yet.
    return stat->substr(open + 1, close - open - 1) == "dozozeda-cli" && (*stat)[close + 2] != 'Z';
}

std::optional<std::int64_t> freeBytes(const std::string& folder)
{
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

} // namespace cli
