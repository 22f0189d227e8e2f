#include "TimedCopy.h"

#include "Clock.h"
#include "FileSystemObject.h"
#include "PlatformError.h"
#include "Runtime.h"

namespace measure {

double CopyTiming::seconds() const
{
    return platform::elapsedSeconds(start, end, platform::clock().resolution());
}

CopyTiming timeCopy(const platform::ResolvedPath& source, const platform::ResolvedPath& destination,
                    std::stop_token stop, const CopyProgress& progress)
{
    const platform::Clock& clock = platform::clock();
    CopyTiming timing;
    timing.copy = destination;
    timing.start = clock.now();
    timing.bytes = platform::FileSystemObject().CopyFile(source, timing.copy, true, stop, progress);
    timing.end = clock.now();
    // Stopped after the copy was whole: nobody is left to report it, and it
    // must not stay on the share.
    if (stop.stop_requested())
        throw platform::Cancelled(platform::removeLeftOver(timing.copy));
    return timing;
}

} // namespace measure
