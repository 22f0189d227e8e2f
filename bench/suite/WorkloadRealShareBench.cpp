// bench_workload_realshare [rounds] [files]
//
// The workload suite on the real SMB share of tests/realshare/share.sh:
//  - with 2 ms added to the round trip (100 Mbit/s), creating small files of
//    64 KiB (each written, flushed and closed) with dozozeda-cli against fio
//    and against the plainest loop of the same system calls, turn about;
//  - at 100 and 400 Mbit/s without a delay, the large write with --streams 1
//    against the program before the suite (DOZOZEDA_BASELINE_CLI, left out
//    when not given), and four streams at 400 Mbit/s against the link;
//  - with 10 ms added, the round trips each operation of the files and
//    folders tests takes through smbnetfs and through gvfs (p50 / 10 ms).
//
// Run it through bench/realshare/run.sh with DOZOZEDA_SHARE_RELAY naming the
// relay (<build>/tests/realshare/realshare_relay).

#include "WorkloadBenchSupport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace workloadbench;

namespace {

constexpr long kFileBytes = 64 * 1024;

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool share(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{DOZOZEDA_SHARE_SCRIPT, args[0], env("DOZOZEDA_SHARE_STATE")};
    argv.insert(argv.end(), args.begin() + 1, args.end());
    return run(argv).status == 0;
}

// A variable of an env file that share.sh wrote in shell syntax.
std::string shellVariable(const std::string& file, const std::string& name)
{
    return run({"bash", "-c", "source \"$0\" && printf %s \"${!1}\"", file, name}).out;
}

} // namespace

int main(int argc, char* argv[])
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int files = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::string state = env("DOZOZEDA_SHARE_STATE");
    const std::string data = env("SHARE_DATA");
    const char* baseline = std::getenv("DOZOZEDA_BASELINE_CLI");
    if (state.empty() || data.empty() || env("DOZOZEDA_SHARE_RELAY").empty())
        return fail("run it through bench/realshare/run.sh with DOZOZEDA_SHARE_RELAY set");
    const std::string cli = DOZOZEDA_CLI;
    const std::string tmp = std::filesystem::temp_directory_path().string() + "/bench-workload-" + std::to_string(::getpid());
    std::filesystem::create_directories(tmp);

    std::vector<double> ours, fio, loop;
    if (!share({"rate", "100"}) || !share({"delay", "2"}))
        return fail("cannot shape the link");
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            switch ((turn + round) % 3) {
            case 0: {
                const auto result = runCli(cli, {"--tests=files", "--files=" + std::to_string(files),
                                                 "--file-size=" + std::to_string(kFileBytes), "-n", "1", data},
                                           tmp);
                if (!result)
                    return fail("a files run failed");
                ours.push_back(phaseRate(*result, "create"));
                break;
            }
            case 1:
                if (const auto rate = fioFilesPerSecond(data + "/fio", files, kFileBytes))
                    fio.push_back(*rate);
                else
                    return fail("fio failed");
                break;
            default:
                if (const auto rate = loopFilesPerSecond(data + "/loop", files, kFileBytes))
                    loop.push_back(*rate);
                else
                    return fail("the loop failed");
            }
        }
        std::printf("2 ms, round %d: dozozeda %.1f, fio %.1f, loop %.1f files/s\n", round + 1, ours.back(), fio.back(),
                    loop.back());
        std::fflush(stdout);
    }

    if (!share({"delay", "off"}))
        return fail("cannot take the delay off");
    struct Streams {
        int rate;
        std::vector<double> single, before;
    };
    std::vector<Streams> cells;
    const auto write = [&](const std::string& program, std::vector<std::string> args) {
        args.insert(args.end(), {"-s", "100", "-n", "1", data});
        const auto result = runCli(program, args, tmp);
        return result ? largeRate(*result, "write") : 0.0;
    };
    for (const int rate : {100, 400}) {
        if (!share({"rate", std::to_string(rate)}))
            return fail("cannot shape the link");
        Streams cell{rate, {}, {}};
        for (int round = 0; baseline && round < rounds; ++round) {
            const bool first = round % 2 == 0;
            const double a = write(first ? cli : baseline, first ? std::vector<std::string>{"--streams=1"} : std::vector<std::string>{});
            const double b = write(first ? baseline : cli, first ? std::vector<std::string>{} : std::vector<std::string>{"--streams=1"});
            cell.single.push_back(first ? a : b);
            cell.before.push_back(first ? b : a);
            std::printf("%d Mbit/s, round %d: --streams 1 %.2f, before %.2f MiB/s\n", rate, round + 1,
                        cell.single.back() / 1048576, cell.before.back() / 1048576);
            std::fflush(stdout);
        }
        cells.push_back(cell);
    }
    std::vector<double> four;
    for (int round = 0; round < rounds; ++round) {
        four.push_back(write(cli, {"--streams=4"}));
        std::printf("400 Mbit/s, round %d: 4 streams %.1f Mbit/s\n", round + 1, four.back() * 8 / 1e6);
    }

    if (!share({"rate", "100"}) || !share({"delay", "10"}) || !share({"gvfs-up", "data"}))
        return fail("cannot add the delay or bring gvfs up");
    const std::string gvfs = shellVariable(state + "/gvfs-env", "GVFS_SHARE");
    const std::string runtime = shellVariable(state + "/gvfs-env", "XDG_RUNTIME_DIR");
    std::printf("\nround trips per operation with 10 ms added (p50 / 10 ms):\n");
    for (const auto& [client, folder] : {std::pair{"smbnetfs", data}, std::pair{"gvfs", gvfs}}) {
        const Child child = run({cli, "--format=json", "--tests=files,folders", "--files=30", "--file-size=4K",
                                 "--folders=30", "-n", "1", folder},
                                {{"TMPDIR", tmp}, {"XDG_RUNTIME_DIR", runtime}});
        const QJsonObject result = QJsonDocument::fromJson(QByteArray::fromStdString(child.out)).object();
        if (child.status != 0)
            return fail(std::string("the files and folders tests failed through ") + client);
        for (const QJsonValue& run : result["runs"].toArray()) {
            std::printf("| %s | %s |", client, qPrintable(run["test"].toString()));
            for (const QJsonValue& phase : run["phases"].toArray())
                std::printf(" %s %.1f |", qPrintable(phase["phase"].toString()),
                            phase["latency_seconds"]["p50"].toDouble() / 0.010);
            std::printf("\n");
        }
    }
    removeAll(tmp);

    std::printf("\n| benchmark | dozozeda-cli | baseline | ratio | goal |\n|---|---:|---:|---:|---:|\n");
    std::printf("| create+write+flush+close of %d files of 64 KiB, 2 ms round trip added | %.1f files/s | fio %.1f files/s | %.3f | >= 0.95 |\n",
                files, median(ours), median(fio), median(ours) / median(fio));
    std::printf("| the same | | loop %.1f files/s | %.3f | >= 0.95 |\n", median(loop), median(ours) / median(loop));
    for (const Streams& cell : cells) {
        if (!cell.single.empty())
            std::printf("| 100 MiB write, --streams 1, %d Mbit/s | %.2f MiB/s | before %.2f MiB/s | %.3f | >= 0.99 |\n",
                        cell.rate, median(cell.single) / 1048576, median(cell.before) / 1048576,
                        median(cell.single) / median(cell.before));
    }
    std::printf("| 4 streams of 100 MiB, 400 Mbit/s | %.1f Mbit/s | the link, 400 Mbit/s | %.3f | >= 0.93 |\n",
                median(four) * 8 / 1e6, median(four) * 8 / 400e6);
    return 0;
}
