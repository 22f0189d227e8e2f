#include "System.h"

#include <cstdlib>
#include <limits.h>
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

} // namespace cli
