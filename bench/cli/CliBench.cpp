// bench_cli [rounds]
//
// dozozeda-cli against dd on this machine's disk, turn about, in folders
// beside the build: the write rate against dd bs=1M conv=fsync into the
// same folder (dd's own figure, from after its files were opened to after
// the flush, the same span the program times), the read back against dd
// iflag=direct reading its own copy (no page cache either way), and one
// process doing --repeat 10 against ten processes doing one run each.

#include "CliBenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <unistd.h>

using namespace clibench;

namespace {

// Each side starts on a quiet disk: what the one before left to write out or
// to discard (a removed 100 MiB copy, on a disk mounted with discard) would
// otherwise land in the next one's timed span.
void settle()
{
    ::sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

constexpr int kMebibytes = 100;

bool writeRandomFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::mt19937_64 random(7);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < kMebibytes; ++i) {
        for (qsizetype at = 0; at + 8 <= block.size(); at += 8) {
            const std::uint64_t word = random();
            std::memcpy(block.data() + at, &word, 8);
        }
        if (file.write(block) != block.size())
            return false;
    }
    file.close();
    return QProcess::execute(QStringLiteral("sync"), {path}) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int rounds = args.size() > 1 ? args[1].toInt() : 9;
    QTemporaryDir target(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/target-XXXXXX"));
    QTemporaryDir temporary(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/tmp-XXXXXX"));
    if (rounds < 1 || !target.isValid() || !temporary.isValid())
        return fail(QStringLiteral("usage: bench_cli [rounds]"));
    const QString source = temporary.filePath(QStringLiteral("dd-source"));
    const QString ddCopy = target.filePath(QStringLiteral("dd-copy"));
    if (!writeRandomFile(source))
        return fail(QStringLiteral("cannot write the dd source"));
    const QStringList one{QStringLiteral("--size=100"), QStringLiteral("--repeat=1"), target.path()};
    const QStringList oneWithRead = QStringList{QStringLiteral("--read")} + one;

    std::printf("%d rounds of 100 MiB into %s, dozozeda-cli and dd taking turns\n", rounds, qPrintable(target.path()));
    std::vector<double> ours, dd, paired, oursRead, ddRead, pairedRead;
    for (int round = 0; round <= rounds; ++round) {
        std::optional<QJsonObject> result;
        std::optional<double> ddWrite, ddReadBack;
        // Alternating who goes first keeps a drift in the disk's speed from
        // favouring either side; round 0 only warms the caches up.
        for (int turn = 0; turn < 2; ++turn) {
            settle();
            if ((turn == 0) == (round % 2 == 0)) {
                result = runCli(oneWithRead, temporary.path());
            } else {
                ddWrite = ddRate({"if=" + source, "of=" + ddCopy, QStringLiteral("bs=1M"), QStringLiteral("conv=fsync")});
                ddReadBack = ddRate({"if=" + ddCopy, QStringLiteral("of=/dev/null"), QStringLiteral("bs=1M"),
                                     QStringLiteral("iflag=direct")});
                QFile::remove(ddCopy);
            }
        }
        if (!result || !ddWrite || !ddReadBack)
            return fail(QStringLiteral("a run failed"));
        if (round == 0)
            continue;
        ours.push_back(medianRate(*result, QStringLiteral("write")));
        dd.push_back(*ddWrite);
        paired.push_back(ours.back() / dd.back());
        oursRead.push_back(medianRate(*result, QStringLiteral("read")));
        ddRead.push_back(*ddReadBack);
        pairedRead.push_back(oursRead.back() / ddRead.back());
        std::printf("round %d: write %.1f MiB/s (dd %.1f), read %.1f MiB/s %s (dd iflag=direct %.1f)\n", round,
                    ours.back() / 1048576, dd.back() / 1048576, oursRead.back() / 1048576,
                    qPrintable(readMethod(*result)), ddRead.back() / 1048576);
    }

    std::vector<double> repeated, singles;
    for (int round = 0; round < 2; ++round) {
        const double start = now();
        if (!runCli({QStringLiteral("--size=100"), QStringLiteral("--repeat=10"), target.path()}, temporary.path()))
            return fail(QStringLiteral("--repeat 10 failed"));
        repeated.push_back(now() - start);
        const double singlesStart = now();
        for (int i = 0; i < 10; ++i) {
            if (!runCli(one, temporary.path()))
                return fail(QStringLiteral("a single run failed"));
        }
        singles.push_back(now() - singlesStart);
    }

    // Each run over the baseline's run beside it: a disk shared with other
    // work changes speed between rounds, which then cancels out.
    const double writeRatio = median(paired);
    const double readRatio = median(pairedRead);
    const double repeatRatio = median(repeated) / median(singles);
    std::printf("\n| benchmark | dozozeda-cli | baseline | ratio | goal |\n|---|---|---|---|---|\n");
    std::printf("| write, 100 MiB (median of %d) | %.1f MiB/s | dd conv=fsync %.1f MiB/s | %.3f (of medians %.3f) | >= 0.98 |\n",
                rounds, median(ours) / 1048576, median(dd) / 1048576, writeRatio, median(ours) / median(dd));
    std::printf("| read back, 100 MiB (median of %d) | %.1f MiB/s | dd iflag=direct %.1f MiB/s | %.3f (of medians %.3f) | >= 0.95 |\n",
                rounds, median(oursRead) / 1048576, median(ddRead) / 1048576, readRatio,
                median(oursRead) / median(ddRead));
    std::printf("| --repeat 10 against 10 processes, 100 MiB (median of 2) | %.2f s | %.2f s | %.3f | <= 1.05 |\n",
                median(repeated), median(singles), repeatRatio);
    std::printf("\nratios: median of each run over the dd run beside it\ngoals %s\n", writeRatio >= 0.98 && readRatio >= 0.95 && repeatRatio <= 1.05 ? "met" : "NOT met");
    return 0;
}
