#pragma once

#include "TestPattern.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cli {

enum class Format { Text, Json, JsonLines, Csv, Prometheus };
// The first figure of a rate in text: MiB/s (2^20 bytes, the window's
// "MB/sec") or MB/s (10^6 bytes). Mbit/s (10^6 bits) always follows it.
enum class Units { Binary, Decimal };

// The window offers 10 to 100 MB. Larger files are allowed because a
// server's cache takes a smaller share of a larger run; the limit keeps a
// typing slip from filling the temporary folder.
constexpr int kMinSizeMiB = 10;
constexpr int kMaxSizeMiB = 16384;
constexpr int kMaxRepeats = 1000;
constexpr int kMaxWarmups = 100;
// Intervals shorter than this would be a few blocks each on a fast link.
constexpr double kMinIntervalSeconds = 0.1;
constexpr double kMaxIntervalSeconds = 3600;
constexpr int kMaxTimeoutSeconds = 7 * 24 * 3600;
// At 1 MiB a block this still lets a link of 140 kbit/s through.
constexpr int kDefaultStallSeconds = 60;

struct Options {
    std::string target;
    int sizeMiB = 100;
    int repeats = 3;
    int warmups = 0;
    // The tests each run does, in this order: the large write (and reading
    // it back), many small files, a tree of folders. Reading needs the
    // write's copy, so it always comes with the write.
    bool write = true;
    bool read = false;
    bool smallFiles = false;
    bool folderTree = false;
    std::int64_t files = 1000;
    std::int64_t fileBytes = 64 * 1024;
    std::int64_t folders = 1000;
    // The large write's and read's rate over time; 0: not recorded.
    double intervalSeconds = 1;
    // Copies written (and read) at once by the large test.
    int streams = 1;
    // Refuse a target on a local file system, or on the temporary folder's
    // device: a timer measuring fifty machines must not report a local disk
    // (an empty mount point whose share went away) as the network.
    bool requireNetwork = false;
    // Random by default: 'X' bytes flatter a share or link that compresses.
    measure::TestPattern::Kind pattern = measure::TestPattern::Kind::Random;
    Units units = Units::Binary;
    Format format = Format::Text;
    // Empty: standard output.
    std::string output;
    bool append = false;
    bool quiet = false;
    // The administrator's own labels for every series and every result
    // (--label KEY=VALUE), in the order given; "target" replaces the typed
    // target in the metrics.
    std::vector<std::pair<std::string, std::string>> labels;
    // The whole run may take this long (--timeout); 0: no limit.
    int timeoutSeconds = 0;
    // A transfer that moves no byte for this long has stalled; it is also
    // how long a call the system keeps blocked is given after a stop.
    int stallSeconds = kDefaultStallSeconds;
};

// A command line that cannot be run; the text says what is wrong with it.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandLine {
    enum class Request { Run, Help, Version };
    Request request = Request::Run;
    Options options;
};

// The arguments after the program's name. Throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

std::string helpText();
std::string versionText();

} // namespace cli
