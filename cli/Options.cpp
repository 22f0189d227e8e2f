#include "Options.h"

#include "DozozedaVersion.h"
#include "FolderTree.h"
#include "NumberText.h"
#include "Runtime.h"
#include "SmallFiles.h"
#include "Streams.h"

#include <charconv>
#include <optional>

namespace cli {

namespace {

struct OptionSpec {
    char shortName;  // 0: long name only
    std::string_view longName;
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {'s', "size", true},      {'n', "repeat", true}, {0, "warmup", true},  {'r', "read", false},
    {0, "pattern", true},     {0, "units", true},    {'f', "format", true}, {'o', "output", true},
    {'a', "append", false},   {'q', "quiet", false}, {'h', "help", false}, {'V', "version", false},
    {0, "require-network", false}, {0, "label", true},   {0, "timeout", true}, {0, "stall-timeout", true},
    {0, "tests", true},       {0, "suite", false},   {0, "files", true},   {0, "file-size", true},
    {0, "folders", true},     {0, "interval", true}, {0, "streams", true},
};

// The labels every series already has, or that some series has: a second
// one of a name would make the metrics unreadable.
constexpr std::string_view kReservedLabels[] = {"direction", "statistic", "stage", "reason", "fstype",
                                                "version",   "os",        "test",  "phase",  "quantile"};

const OptionSpec* findLong(std::string_view name)
{
    for (const OptionSpec& spec : kOptions) {
        if (spec.longName == name)
            return &spec;
    }
    return nullptr;
}

const OptionSpec* findShort(char name)
{
    for (const OptionSpec& spec : kOptions) {
        if (spec.shortName != 0 && spec.shortName == name)
            return &spec;
    }
    return nullptr;
}

std::int64_t count(std::string_view option, const std::string& value, std::int64_t min, std::int64_t max,
                   std::string_view unit = "")
{
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < min || number > max)
        throw UsageError("--" + std::string(option) + " takes a whole number " + std::string(unit) + "from "
                         + std::to_string(min) + " to " + std::to_string(max) + ", not '" + value + "'");
    return number;
}

int wholeNumber(std::string_view option, const std::string& value, int min, int max, std::string_view unit)
{
    return static_cast<int>(count(option, value, min, max, unit));
}

// Bytes, or KiB and MiB with a K or M after the number.
std::int64_t byteCount(std::string_view option, const std::string& value, std::int64_t max)
{
    std::int64_t unit = 1;
    std::string digits = value;
    if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'M')) {
        unit = digits.back() == 'K' ? 1024 : 1024 * 1024;
        digits.pop_back();
    }
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || number < 0
        || number > max / unit)
        throw UsageError("--" + std::string(option)
                         + " takes bytes, or KiB or MiB with a K or M after the number, from 0 to "
                         + std::to_string(max / (1024 * 1024)) + "M, not '" + value + "'");
    return number * unit;
}

double seconds(std::string_view option, const std::string& value, double min, double max)
{
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size()
        || (number != 0 && !(number >= min && number <= max)))
        throw UsageError("--" + std::string(option) + " takes 0 (off) or seconds from " + shortestText(min) + " to "
                         + shortestText(max) + ", not '" + value + "'");
    return number;
}

// The tests of a comma-separated list; the earlier choice is replaced whole.
void chooseTests(Options& options, const std::string& value)
{
    options.write = options.read = options.smallFiles = options.folderTree = false;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = std::min(value.find(',', at), value.size());
        const std::string test = value.substr(at, comma - at);
        if (test == "write")
            options.write = true;
        else if (test == "read")
            options.read = true;
        else if (test == "files")
            options.smallFiles = true;
        else if (test == "folders")
            options.folderTree = true;
        else
            throw UsageError("--tests takes a list of write, read, files and folders separated by commas, not '" + value
                             + "'");
        if (comma == value.size())
            return;
        at = comma + 1;
    }
}

template <typename Choice>
Choice oneOf(std::string_view option, const std::string& value,
             std::initializer_list<std::pair<std::string_view, Choice>> choices)
{
    std::string names;
    for (const auto& [name, choice] : choices) {
        if (name == value)
            return choice;
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    throw UsageError("--" + std::string(option) + " takes one of " + names + ", not '" + value + "'");
}

// A label name as Prometheus takes it; names starting with "__" are its own.
bool isLabelName(std::string_view name)
{
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (name.empty() || !letter(name[0]) || name.starts_with("__"))
        return false;
    for (const char c : name) {
        if (!letter(c) && !(c >= '0' && c <= '9'))
            return false;
    }
    return true;
}

void addLabel(Options& options, const std::string& value)
{
    const std::size_t equals = value.find('=');
    const std::string key = value.substr(0, equals);
    if (equals == std::string::npos || equals + 1 == value.size())
        throw UsageError("--label takes KEY=VALUE with a value, not '" + value + "'");
    if (!isLabelName(key))
        throw UsageError("--label: '" + key
                         + "' is no label name (letters, digits and '_', not starting with a digit or '__')");
    for (const std::string_view reserved : kReservedLabels) {
        if (key == reserved)
            throw UsageError("--label: '" + key + "' is a label of the metrics themselves; choose another name");
    }
    for (const auto& [given, ignored] : options.labels) {
        if (given == key)
            throw UsageError("--label: '" + key + "' is given twice");
    }
    options.labels.emplace_back(key, value.substr(equals + 1));
}

void apply(Options& options, const OptionSpec& spec, const std::string& value)
{
    const std::string_view name = spec.longName;
    if (name == "size")
        options.sizeMiB = wholeNumber(name, value, kMinSizeMiB, kMaxSizeMiB, "of MiB ");
    else if (name == "repeat")
        options.repeats = wholeNumber(name, value, 1, kMaxRepeats, "");
    else if (name == "warmup")
        options.warmups = wholeNumber(name, value, 0, kMaxWarmups, "");
    else if (name == "read")
        options.read = true;
    else if (name == "pattern")
        options.pattern = oneOf<measure::TestPattern::Kind>(
            name, value, {{"random", measure::TestPattern::Kind::Random}, {"x", measure::TestPattern::Kind::X}});
    else if (name == "units")
        options.units = oneOf<Units>(name, value, {{"iec", Units::Binary}, {"si", Units::Decimal}});
    else if (name == "format")
        options.format = oneOf<Format>(name, value,
                                       {{"text", Format::Text}, {"json", Format::Json}, {"jsonl", Format::JsonLines},
                                        {"csv", Format::Csv}, {"prometheus", Format::Prometheus}});
    else if (name == "output") {
        // An empty name is a slip (an unset variable), not standard output.
        if (value.empty())
            throw UsageError("--output needs a file name, or '-' for standard output");
        options.output = value;
    }
    else if (name == "append")
        options.append = true;
    else if (name == "quiet")
        options.quiet = true;
    else if (name == "require-network")
        options.requireNetwork = true;
    else if (name == "label")
        addLabel(options, value);
    else if (name == "timeout")
        options.timeoutSeconds = wholeNumber(name, value, 1, kMaxTimeoutSeconds, "of seconds ");
    else if (name == "stall-timeout")
        options.stallSeconds = wholeNumber(name, value, 1, kMaxTimeoutSeconds, "of seconds ");
    else if (name == "tests")
        chooseTests(options, value);
    else if (name == "suite")
        chooseTests(options, "write,read,files,folders");
    else if (name == "files")
        options.files = count(name, value, 1, measure::kMaxSmallFiles);
    else if (name == "file-size")
        options.fileBytes = byteCount(name, value, measure::kMaxSmallFileBytes);
    else if (name == "folders")
        options.folders = count(name, value, 1, measure::kMaxTreeFolders);
    else if (name == "interval")
        options.intervalSeconds = seconds(name, value, kMinIntervalSeconds, kMaxIntervalSeconds);
    else if (name == "streams")
        options.streams = static_cast<int>(count(name, value, 1, measure::kMaxStreams));
}

// Which tests a line asks for is known only once every option is read:
// --read adds the write and its read-back to whatever --tests or --suite
// chose, wherever it stands.
bool choosesTests(const OptionSpec& spec)
{
    return spec.longName == "tests" || spec.longName == "suite";
}

void check(Options& options)
{
    // The usual name for standard output.
    if (options.output == "-")
        options.output.clear();
    if (options.append && options.output.empty())
        throw UsageError("--append needs --output FILE");
    if (options.append && options.format != Format::JsonLines && options.format != Format::Csv)
        throw UsageError("--append keeps a history in JSON Lines or CSV: give --format jsonl or --format csv");
}

// One pass over the arguments as getopt reads them, before any value is
// judged: short flags combine (-rq), a value is attached (-s50, --size=50,
// -o-) or the next argument whatever it looks like (-o --help is a file).
struct Tokens {
    std::vector<std::pair<const OptionSpec*, std::string>> options;
    std::vector<std::string> operands;
    // The first argument that could not be read; kept rather than thrown, so
    // that a --help further on is still seen.
    std::optional<std::string> error;
};

Tokens tokenize(const std::vector<std::string>& args)
{
    Tokens tokens;
    const auto fail = [&](const std::string& error) {
        if (!tokens.error)
            tokens.error = error;
    };
    const auto take = [&](const OptionSpec& spec, std::optional<std::string> attached, std::size_t& i) {
        if (attached)
            tokens.options.emplace_back(&spec, std::move(*attached));
        else if (i + 1 < args.size())
            tokens.options.emplace_back(&spec, args[++i]);
        else
            fail("option '--" + std::string(spec.longName) + "' needs a value");
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            tokens.operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            const OptionSpec* spec =
                findLong(std::string_view(arg).substr(2, equals == std::string::npos ? equals : equals - 2));
            std::optional<std::string> attached;
            if (equals != std::string::npos)
                attached = arg.substr(equals + 1);
            if (!spec)
                fail("unknown option '" + arg.substr(0, equals) + "'");
            else if (spec->takesValue)
                take(*spec, std::move(attached), i);
            else if (attached)
                fail("option '--" + std::string(spec->longName) + "' takes no value");
            else
                tokens.options.emplace_back(spec, std::string());
        } else {
            for (std::size_t at = 1; at < arg.size(); ++at) {
                const OptionSpec* spec = findShort(arg[at]);
                if (!spec) {
                    // A byte of a longer UTF-8 character is shown in its word.
                    fail("unknown option '"
                         + (static_cast<unsigned char>(arg[at]) < 0x80 ? std::string{'-', arg[at]} : arg) + "'");
                } else if (!spec->takesValue) {
                    tokens.options.emplace_back(spec, std::string());
                } else {
                    take(*spec, at + 1 < arg.size() ? std::optional(arg.substr(at + 1)) : std::nullopt, i);
                    break;
                }
            }
        }
    }
    return tokens;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args)
{
    Tokens tokens = tokenize(args);
    // Either asks for nothing to be done, whatever else is on the line.
    for (const auto& [spec, value] : tokens.options) {
        if (spec->longName == "help")
            return {CommandLine::Request::Help, {}};
        if (spec->longName == "version")
            return {CommandLine::Request::Version, {}};
    }
    if (tokens.error)
        throw UsageError(*tokens.error);
    CommandLine line;
    for (const auto& [spec, value] : tokens.options) {
        if (choosesTests(*spec))
            apply(line.options, *spec, value);
    }
    for (const auto& [spec, value] : tokens.options) {
        if (!choosesTests(*spec))
            apply(line.options, *spec, value);
    }
    if (line.options.read)
        line.options.write = true;
    const std::vector<std::string>& operands = tokens.operands;
    if (operands.empty())
        throw UsageError("no target folder given");
    if (operands.size() > 1)
        throw UsageError("one target folder only; '" + operands[1] + "' is one too many");
    // The window trims the path box the same way: leading spaces are no
    // part of a folder's name.
    line.options.target = platform::Trim(operands[0]);
    if (line.options.target.empty())
        throw UsageError("the target folder is empty");
    check(line.options);
    return line;
}

std::string versionText()
{
    return "dozozeda-cli (Dozozeda) " DOZOZEDA_VERSION_TEXT "\n";
}

std::string helpText()
{
    return R"(Usage: dozozeda-cli [OPTION]... TARGET
Measure how fast this machine writes a file to TARGET, a folder on a network
share, and with --read how fast it reads it back; with --tests or --suite
also how fast it creates, lists, looks up, reads and deletes many small
files, and makes, lists and removes a tree of folders.

TARGET is a folder, a mounted share, \\server\share\folder or
smb://[user@]server/share/folder (on Linux, the folder where that share is
mounted right now). A password in an smb:// address is never used, since
Dozozeda does not mount shares: better leave it out (it is cut from the
program's own arguments, its messages and its output). The copy there is
named dozozeda-HOST-PID.tmp and is removed after each run; the local test
file lives in the temporary folder. Every result names TARGET's file system.

  -s, --size=MIB        size of the test file in MiB, 10 to 16384 (default 100)
  -n, --repeat=N        measured runs, 1 to 1000 (default 3)
      --warmup=N        runs done and shown first but left out of the
                        statistics, 0 to 100 (default 0)
  -r, --read            also time reading each copy back, past this
                        machine's cache (the server's cache is not controlled);
                        the same as adding write,read to --tests
      --tests=LIST      what each run does, comma-separated: write (the
                        default), read (reading the copy back; it writes it
                        first), files, folders
      --suite           all four: --tests=write,read,files,folders
      --files=N         files of the files test, 1 to 1000000 (default 1000),
                        each created, written, flushed and closed one by one
                        in a new folder dozozeda-HOST-PID.files, listed,
                        looked up, read back and deleted
      --file-size=SIZE  bytes per file, or KiB or MiB with K or M after the
                        number, 0 to 16M (default 64K)
      --folders=N       folders of the folders test, ten in each, 1 to 100000
                        (default 1000), made, listed and removed
      --interval=SECONDS
                        record the write's and the read's bytes per interval,
                        0.1 to 3600 seconds (default 1); 0: not at all
      --streams=N       copies written and read at once, 1 to 64 (default 1);
                        the rate is all bytes over the span from the first
                        start to the last flush
      --pattern=KIND    random (default: what a compressing link or share
                        cannot shrink) or x (the window's file, all 'X')
      --units=iec|si    text rates in MiB/s (default) or MB/s
  -f, --format=FORMAT   text (default), json, jsonl, csv or prometheus
  -o, --output=FILE     write the result to FILE instead of standard output
                        ('-'): a file is replaced as a whole (through a link,
                        the file it names), a FIFO, a device or the file
                        standard output goes to is written to as it is, and
                        a folder is refused
  -a, --append          add to FILE: a history in jsonl or csv, locked while
                        a run appends, each run on a line of its own, the CSV
                        header only into an empty file; a failed append is
                        cut off again
  -q, --quiet           no progress and no text result; errors still shown
      --require-network fail before writing anything when TARGET is on a
                        local file system or on the temporary folder's
                        device (a share that is no longer mounted there)
      --label=KEY=VALUE a label of your own on every metric and result
                        (repeatable); --label target=NAME names the target
                        in the metrics instead of its path
      --timeout=SECONDS the whole run may take this long; then it fails
                        (reason timeout) and the copy is removed
      --stall-timeout=SECONDS
                        a copy or read that moves no byte for this long has
                        stalled and fails (default 60); a call the share
                        keeps blocked after a stop gets this long again,
                        then the program reports and ends without it
  -h, --help            show this help and exit
  -V, --version         show the version and exit

Units: MiB/s = 2^20 bytes per second (the window's "MB/sec"),
MB/s = 10^6 bytes per second, Mbit/s = 10^6 bits per second; p50, p99 = the
time of one operation that half, 99 % of them took no longer than.
Machine-readable formats hold bytes, seconds and bytes per second only.

At start, files this machine's earlier runs left when they were killed
(their process is gone) are removed from TARGET, the temporary folder and
the folder of the output file, and named on standard error.

Exit status: 0 every run measured; 1 a run or the check of TARGET failed,
or it timed out or stalled; 2 the command line is wrong; 3 measured, but
something stayed on the share; interrupted: 128 + the signal's number (130
for Ctrl+C, 143 for SIGTERM, 129 for SIGHUP; 130 on Windows).
)";
}

} // namespace cli
