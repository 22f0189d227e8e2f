// The command line as people type it: the option forms GNU tools accept,
// and every line that must be refused before anything is measured.

#include "Options.h"

#include <gtest/gtest.h>

using cli::CommandLine;
using cli::Format;
using cli::parseCommandLine;
using cli::UsageError;

namespace {

using Args = std::vector<std::string>;

cli::Options parsed(const Args& args)
{
    const CommandLine line = parseCommandLine(args);
    EXPECT_EQ(line.request, CommandLine::Request::Run);
    return line.options;
}

} // namespace

TEST(Options, WithoutOptionsItIsThreeRunsOfOneHundredMebibytesOfRandomDataWrittenOnly)
{
    const cli::Options options = parsed({"/mnt/nas"});
    EXPECT_EQ(options.target, "/mnt/nas");
    EXPECT_EQ(options.sizeMiB, 100);
    EXPECT_EQ(options.repeats, 3);
    EXPECT_EQ(options.warmups, 0);
    EXPECT_TRUE(options.write);
    EXPECT_FALSE(options.read || options.smallFiles || options.folderTree);
    EXPECT_EQ(options.intervalSeconds, 1);
    EXPECT_EQ(options.streams, 1);
    EXPECT_EQ(options.pattern, measure::TestPattern::Kind::Random);
    EXPECT_EQ(options.format, Format::Text);
    EXPECT_EQ(options.units, cli::Units::Binary);
    EXPECT_EQ(options.timeoutSeconds, 0) << "no time limit";
    EXPECT_EQ(options.stallSeconds, 60);
}

TEST(Options, ValuesCanBeAttachedOrFollowShortFlagsCombineAndTheLastOneCounts)
{
    for (const Args& args : {Args{"--size=20", "x"}, Args{"--size", "20", "x"}, Args{"-s20", "x"},
                             Args{"-s", "20", "x"}, Args{"-s", "50", "x", "--size=20"}, Args{"-rs20", "x"},
                             Args{"-qrs", "20", "x"}})
        EXPECT_EQ(parsed(args).sizeMiB, 20) << testing::PrintToString(args);
    const cli::Options cluster = parsed({"-qrn3", "x"});
    EXPECT_TRUE(cluster.quiet && cluster.read);
    EXPECT_EQ(cluster.repeats, 3);
    // A value is taken as it stands, even when it looks like an option.
    EXPECT_EQ(parsed({"-qo-", "x"}).output, "");
    EXPECT_EQ(parsed({"-o", "-rq", "x"}).output, "-rq");
    const cli::Options options = parsed({"-r", "-q", "-n", "7", "--warmup", "2", "--pattern=x", "--units", "si",
                                         "-f", "csv", "-o", "h.csv", "-a", "--label", "target=nas",
                                         "--label=site=a=b", "--timeout", "600", "--stall-timeout=5",
                                         "\\\\nas\\share"});
    EXPECT_TRUE(options.read && options.quiet && options.append);
    EXPECT_EQ(options.repeats, 7);
    EXPECT_EQ(options.warmups, 2);
    EXPECT_EQ(options.pattern, measure::TestPattern::Kind::X);
    EXPECT_EQ(options.units, cli::Units::Decimal);
    EXPECT_EQ(options.format, Format::Csv);
    EXPECT_EQ(options.output, "h.csv");
    EXPECT_EQ(options.target, "\\\\nas\\share");
    // In the order given; a value may hold '='.
    EXPECT_EQ(options.labels, (std::vector<std::pair<std::string, std::string>>{{"target", "nas"}, {"site", "a=b"}}));
    EXPECT_EQ(options.timeoutSeconds, 600);
    EXPECT_EQ(options.stallSeconds, 5);
}

// --read keeps its meaning, write and read, wherever it stands beside a list.
TEST(Options, TestsAreChosenByAListOrTheSuiteAndAReadAlwaysWritesItsCopyFirst)
{
    const auto tests = [](const Args& args) {
        const cli::Options o = parsed(args);
        return std::string(o.write ? "w" : "") + (o.read ? "r" : "") + (o.smallFiles ? "f" : "") + (o.folderTree ? "d" : "");
    };
    EXPECT_EQ(tests({"--tests=files", "x"}), "f");
    EXPECT_EQ(tests({"--tests", "folders,files", "x"}), "fd");
    EXPECT_EQ(tests({"--tests=read", "x"}), "wr");
    EXPECT_EQ(tests({"-r", "--tests=files", "x"}), "wrf");
    EXPECT_EQ(tests({"--tests=files", "--suite", "x"}), "wrfd");
    const cli::Options sized =
        parsed({"--files=100000", "--file-size=4K", "--folders", "10", "--interval=0.25", "--streams=64", "x"});
    EXPECT_EQ(sized.files, 100'000);
    EXPECT_EQ(sized.fileBytes, 4096);
    EXPECT_EQ(sized.folders, 10);
    EXPECT_EQ(sized.intervalSeconds, 0.25);
    EXPECT_EQ(sized.streams, 64);
    EXPECT_EQ(parsed({"--file-size=0", "x"}).fileBytes, 0);
    EXPECT_EQ(parsed({"--file-size=16M", "x"}).fileBytes, 16 << 20);
    EXPECT_EQ(parsed({"--interval=0", "x"}).intervalSeconds, 0);
}

TEST(Options, AfterADoubleDashATargetMayStartWithADashAndSpacesAroundItAreNoPartOfIt)
{
    EXPECT_EQ(parsed({"--", "-odd name"}).target, "-odd name");
    EXPECT_EQ(parsed({"  /mnt/nas  "}).target, "/mnt/nas");
    EXPECT_EQ(parsed({"-o", "-", "x"}).output, "");
}

TEST(Options, HelpAndVersionAskForNothingElseWhereTheyStandAsOptions)
{
    EXPECT_EQ(parseCommandLine({"x", "--size=1", "--bogus", "--help"}).request, CommandLine::Request::Help);
    EXPECT_EQ(parseCommandLine({"-rh", "x"}).request, CommandLine::Request::Help);
    EXPECT_EQ(parseCommandLine({"-V"}).request, CommandLine::Request::Version);
    EXPECT_EQ(parsed({"--output", "--help", "x"}).output, "--help");
    EXPECT_EQ(parsed({"-o", "-V", "x"}).output, "-V");
    EXPECT_EQ(parsed({"--", "--version"}).target, "--version");
}

TEST(Options, LinesThatCannotBeRunAreRefusedWithTheReason)
{
    const std::vector<std::pair<Args, std::string>> refused{
        {{}, "no target folder"},
        {{"   "}, "empty"},
        {{"a", "b"}, "'b' is one too many"},
        {{"--bogus", "x"}, "unknown option '--bogus'"},
        {{"-rx", "x"}, "unknown option '-x'"},
        {{"-o", "", "x"}, "--output needs a file name"},
        {{"--read=yes", "x"}, "takes no value"},
        {{"x", "--size"}, "needs a value"},
        {{"--size=9", "x"}, "from 10 to 16384"},
        {{"--size=16385", "x"}, "from 10 to 16384"},
        {{"--size=1e2", "x"}, "not '1e2'"},
        {{"--size=+20", "x"}, "not '+20'"},
        {{"--repeat=0", "x"}, "from 1 to 1000"},
        {{"--warmup=-1", "x"}, "from 0 to 100"},
        {{"--format=xml", "x"}, "text, json, jsonl, csv, prometheus"},
        {{"--pattern=zero", "x"}, "random, x"},
        {{"--append", "-f", "csv", "x"}, "--append needs --output"},
        {{"--append", "-o", "h.json", "-f", "json", "x"}, "jsonl or --format csv"},
        {{"--tests=write,,files", "x"}, "write, read, files and folders"},
        {{"--tests=smallfiles", "x"}, "not 'smallfiles'"},
        {{"--files=0", "x"}, "from 1 to 1000000"},
        {{"--file-size=17M", "x"}, "from 0 to 16M"},
        {{"--file-size=4k", "x"}, "not '4k'"},
        {{"--file-size=K", "x"}, "not 'K'"},
        {{"--folders=100001", "x"}, "from 1 to 100000"},
        {{"--interval=0.05", "x"}, "0 (off) or seconds from 0.1 to 3600"},
        {{"--interval=1s", "x"}, "not '1s'"},
        {{"--streams=65", "x"}, "from 1 to 64"},
        // A label must be one a series can carry, and not one the metrics
        // carry already.
        {{"--label", "site", "x"}, "KEY=VALUE"},
        {{"--label", "site=", "x"}, "KEY=VALUE"},
        {{"--label", "1site=a", "x"}, "no label name"},
        {{"--label", "__name__=a", "x"}, "no label name"},
        {{"--label", "si-te=a", "x"}, "no label name"},
        {{"--label", "fstype=a", "x"}, "a label of the metrics themselves"},
        {{"--label", "reason=a", "x"}, "a label of the metrics themselves"},
        {{"--label", "phase=a", "x"}, "a label of the metrics themselves"},
        {{"--label", "a=1", "--label", "a=2", "x"}, "given twice"},
        {{"--timeout=0", "x"}, "seconds from 1"},
        {{"--stall-timeout=1.5", "x"}, "not '1.5'"},
    };
    for (const auto& [args, reason] : refused) {
        try {
            parseCommandLine(args);
            ADD_FAILURE() << testing::PrintToString(args) << " was accepted";
        } catch (const UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos)
                << testing::PrintToString(args) << ": " << error.what();
        }
    }
}
