// bench_workload [rounds] [files] [file bytes]
//
// The workload suite on this machine's disk, in folders beside the build:
//  - creating small files (each written, flushed and closed) with
//    dozozeda-cli --tests=files against fio doing the same (one file open at
//    a time, flushed as it is closed) and against the plainest loop of the
//    same system calls, turn about;
//  - the large write recording intervals of 0.1 s against none, and with
//    --streams 1 against the program before the suite (DOZOZEDA_BASELINE_CLI,
//    a dozozeda-cli built from main before it; left out when not given), on
//    the disk and in memory (/dev/shm), twice as many rounds;
//  - the same in this process, where nothing else varies: the copy as the
//    program before the suite made it (timeCopy alone) against the copy of
//    --streams 1 with intervals (timeCopies of one stream, each block
//    recorded), 100 MiB into memory, many rounds;
//  - the peak memory of 100,000 small files against 1,000.
// Ratios are of medians; "paired" is the median of each round's own ratio.

#include "WorkloadBenchSupport.h"

#include "Intervals.h"
#include "Runtime.h"
#include "Streams.h"

#include <QJsonArray>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <unistd.h>

using namespace workloadbench;

namespace {

// Each side starts on a quiet disk: what the one before left to write out
// would otherwise land in the next one's timed span.
void settle()
{
    ::sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

struct Sides {
    std::vector<std::string> names;
    std::vector<std::vector<double>> values;
};

// Runs every side once per round, starting with a different one each round.
bool turnAbout(int rounds, Sides& sides, const std::vector<std::function<std::optional<double>()>>& measure)
{
    sides.values.assign(measure.size(), {});
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t turn = 0; turn < measure.size(); ++turn) {
            const std::size_t side = (turn + static_cast<std::size_t>(round)) % measure.size();
            settle();
            const std::optional<double> value = measure[side]();
            if (!value)
                return false;
            sides.values[side].push_back(*value);
        }
        std::printf("  round %d:", round + 1);
        for (std::size_t side = 0; side < measure.size(); ++side)
            std::printf(" %s %.1f", sides.names[side].c_str(), sides.values[side].back());
        std::printf("\n");
        std::fflush(stdout);
    }
    return true;
}

double pairedRatio(const std::vector<double>& ours, const std::vector<double>& theirs)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size(); ++i)
        ratios.push_back(ours[i] / theirs[i]);
    return median(ratios);
}

void ratioLine(const char* what, const std::vector<double>& ours, const std::vector<double>& theirs, double goal,
               const char* unit)
{
    const double ratio = median(ours) / median(theirs);
    std::printf("| %s | %.1f %s | %.1f %s | %.3f (paired %.3f) | %s %.2f |\n", what, median(ours), unit, median(theirs),
                unit, ratio, pairedRatio(ours, theirs), goal >= 0 ? ">=" : "<=", std::abs(goal));
}

} // namespace

int main(int argc, char* argv[])
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
    const long bytes = argc > 3 ? std::atol(argv[3]) : 64 * 1024;
    const std::string cli = DOZOZEDA_CLI;
    const char* baseline = std::getenv("DOZOZEDA_BASELINE_CLI");
    const std::string here = DOZOZEDA_BENCH_FOLDER "/bench-workload-" + std::to_string(::getpid());
    const std::string tmp = here + "/tmp";
    removeAll(here);
    std::filesystem::create_directories(tmp);
    if (rounds < 1 || files < 1 || bytes < 0)
        return fail("usage: bench_workload [rounds] [files] [file bytes]");

    std::printf("small files: %d of %ld bytes, %d rounds\n", files, bytes, rounds);
    Sides small{{"dozozeda", "fio", "loop"}, {}};
    const std::string target = here + "/target";
    std::filesystem::create_directories(target);
    if (!turnAbout(rounds, small,
                   {[&]() -> std::optional<double> {
                        const auto result = runCli(cli,
                                                   {"--tests=files", "--files=" + std::to_string(files),
                                                    "--file-size=" + std::to_string(bytes), "-n", "1", target},
                                                   tmp);
                        return result ? std::optional(phaseRate(*result, "create")) : std::nullopt;
                    },
                    [&] { return fioFilesPerSecond(here + "/fio", files, bytes); },
                    [&] { return loopFilesPerSecond(here + "/loop", files, bytes); }}))
        return fail("a small-file run failed");

    // On the disk, and in memory (/dev/shm), where the copy is quickest and
    // whatever the recording costs shows most.
    struct Large {
        std::string where;
        Sides intervals{{"0.1 s", "none"}, {}};
        Sides streams{{"--streams 1", "before"}, {}};
    };
    std::vector<Large> large{{"disk"}};
    if (std::filesystem::is_directory("/dev/shm"))
        large.push_back({"memory"});
    for (Large& cell : large) {
        const std::string folder = cell.where == "disk" ? target : "/dev/shm/bench-workload-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        const auto write = [&](const std::string& program, std::vector<std::string> args) -> std::optional<double> {
            args.insert(args.end(), {"-s", "100", "-n", "1", folder});
            const auto result = runCli(program, args, tmp);
            return result ? std::optional(largeRate(*result, "write") / 1048576) : std::nullopt;
        };
        std::printf("large write, 100 MiB, %s: intervals of 0.1 s against none\n", cell.where.c_str());
        if (!turnAbout(2 * rounds, cell.intervals,
                       {[&] { return write(cli, {"--interval=0.1"}); }, [&] { return write(cli, {"--interval=0"}); }}))
            return fail("a large write failed");
        if (baseline) {
            std::printf("large write, 100 MiB, %s: --streams 1 against %s\n", cell.where.c_str(), baseline);
            if (!turnAbout(2 * rounds, cell.streams,
                           {[&] { return write(cli, {"--streams=1"}); }, [&] { return write(baseline, {}); }}))
                return fail("a large write failed");
        }
        if (folder != target)
            removeAll(folder);
    }

    std::vector<double> alone, recorded;
    if (std::filesystem::is_directory("/dev/shm")) {
        std::printf("100 MiB into memory in this process: timeCopy alone against one stream with each block recorded\n");
        const std::string shm = "/dev/shm/bench-workload-" + std::to_string(::getpid());
        std::filesystem::create_directories(shm);
        const auto source = platform::ResolvedPath::fromSystem(shm + "/source");
        const auto copy = platform::ResolvedPath::fromSystem(shm + "/copy");
        {
            std::vector<char> block(1 << 20, 'x');
            FILE* file = std::fopen(source.native().c_str(), "wb");
            for (int i = 0; file && i < 100; ++i)
                std::fwrite(block.data(), 1, block.size(), file);
            if (!file || std::fclose(file) != 0)
                return fail("cannot write the source in /dev/shm");
        }
        for (int round = 0; round < 20 * rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (round % 2 == 0)) {
                    const measure::CopyTiming timing = measure::timeCopy(source, copy);
                    alone.push_back(static_cast<double>(timing.bytes) / timing.seconds() / 1048576);
                } else {
                    measure::BlockTimes blocks(100 << 20, 1 << 20);
                    const std::vector<measure::CopyProgress> progress{
                        [&blocks](std::int64_t done) { blocks.record(done); }};
                    const measure::StreamCopies timing = measure::timeCopies(source, {&copy, 1}, {}, progress);
                    recorded.push_back(static_cast<double>(timing.bytes()) / timing.seconds() / 1048576);
                }
                platform::DeleteFile(copy);
            }
        }
        removeAll(shm);
    }

    std::printf("peak memory of the files test, 4 KiB each\n");
    long many = 0;
    long few = 0;
    if (!runCli(cli, {"--tests=files", "--files=100000", "--file-size=4K", "-n", "1", target}, tmp, &many)
        || !runCli(cli, {"--tests=files", "--files=1000", "--file-size=4K", "-n", "1", target}, tmp, &few))
        return fail("a files run failed");
    removeAll(here);

    std::printf("\n| benchmark | dozozeda-cli | baseline | ratio | goal |\n|---|---:|---:|---:|---:|\n");
    ratioLine("create+write+flush+close, files/s, against fio", small.values[0], small.values[1], 0.95, "files/s");
    ratioLine("the same against a plain loop of the calls", small.values[0], small.values[2], 0.95, "files/s");
    for (const Large& cell : large) {
        ratioLine(("100 MiB write (" + cell.where + "), intervals of 0.1 s against none").c_str(),
                  cell.intervals.values[0], cell.intervals.values[1], 0.99, "MiB/s");
        if (baseline)
            ratioLine(("100 MiB write (" + cell.where + "), --streams 1 against the program before").c_str(),
                      cell.streams.values[0], cell.streams.values[1], 0.99, "MiB/s");
    }
    // What recording costs per block, alone, against the quickest block of
    // the copies above (1 MiB at the median rate in memory).
    double recordNanoseconds = 0;
    {
        constexpr int kCalls = 1'000'000;
        measure::BlockTimes blocks(std::int64_t{kCalls} << 20, 1 << 20);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= kCalls; ++i)
            blocks.record(std::int64_t{i} << 20);
        recordNanoseconds = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / kCalls;
    }
    if (!alone.empty())
        std::printf("| recording one block | %.0f ns | a 1 MiB block at %.0f MiB/s: %.0f us | %.5f | <= 0.01 |\n",
                    recordNanoseconds, median(alone), 1e6 / median(alone), recordNanoseconds / (1e9 / median(alone)));
    if (!alone.empty())
        ratioLine("100 MiB into memory in this process, one stream with each block recorded against timeCopy alone",
                  recorded, alone, 0.99, "MiB/s");
    std::printf("| peak memory, 100,000 files against 1,000 | %.1f MB | %.1f MB | %.2f | 100,000 files <= 64 MB |\n",
                static_cast<double>(many) * 1024 / 1e6, static_cast<double>(few) * 1024 / 1e6,
                static_cast<double>(many) / static_cast<double>(few));
    return 0;
}
