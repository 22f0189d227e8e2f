#pragma once

#include "ResolvedPath.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Files that runs of this machine left behind when they were killed
// (SIGKILL, a power cut) or could not remove (the share had stopped
// answering): every name the program makes holds this host's name and its
// process id, so a later run can tell them from everything else.
struct StaleFiles {
    std::vector<std::string> removed;
    // "Cannot delete '…': …" for each one that stayed.
    std::vector<std::string> problems;
};

// The process that made a file of this name, when it is a name this host's
// runs make in that folder; nothing for any other name.
using OwnerOfName = std::function<std::optional<unsigned long>(std::string_view name)>;

// Removes from `folder` each regular file whose owner no longer runs
// (isRunningInstance). Nothing else is touched: no other name, no link (it
// is not followed either), no folder, nothing of a run that is still going.
// A folder that cannot be read adds a problem. A file the server still
// holds for a connection that broke (EBUSY, for a few seconds after a link
// comes back) is tried again for up to 10 s, or until `stop`.
void removeStaleFiles(const platform::ResolvedPath& folder, const OwnerOfName& ownerOf, StaleFiles& into,
                      std::stop_token stop = {});

} // namespace cli
