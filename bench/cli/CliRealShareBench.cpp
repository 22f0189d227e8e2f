// bench_cli_realshare [rounds]
//
// dozozeda-cli on the real SMB share of tests/realshare/share.sh at 100 and
// 400 Mbit/s, against dd copying a file of the same size into the same
// folder with 1 MiB blocks and a final flush, turn about; and its reads back
// against what the link can carry, beside dd reading its own copy through a
// fresh open (which the FUSE client serves from the server, not from memory).
// No transfer gets more than about 0.955 of the shaped rate across: TCP/IP
// and SMB headers take the rest.
//
// Run it through bench/realshare/run.sh, which serves the share and passes
// its folders and state in the environment (SHARE_DATA, DOZOZEDA_SHARE_STATE).

#include "CliBenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace clibench;

namespace {

constexpr int kRatesMbit[] = {100, 400};
// What SMB2 over TCP/IP leaves of the shaped rate (tests/realshare/README.md).
constexpr double kGoodput = 0.955;

bool shareControl(const QStringList& args)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT), args);
    return script.waitForFinished(60'000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

struct Cell {
    int rate;
    double write;
    double dd;
    double paired;
    double read;
    double ddRead;
    QString method;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int rounds = args.size() > 1 ? args[1].toInt() : 3;
    const QString state = qEnvironmentVariable("DOZOZEDA_SHARE_STATE");
    const QString data = qEnvironmentVariable("SHARE_DATA");
    if (state.isEmpty() || data.isEmpty())
        return fail(QStringLiteral("no share in the environment; run this program through bench/realshare/run.sh"));
    QTemporaryDir temporary;
    if (rounds < 1 || !temporary.isValid())
        return fail(QStringLiteral("usage: bench_cli_realshare [rounds]"));
    const QString source = temporary.filePath(QStringLiteral("dd-source"));
    const QString ddCopy = data + QStringLiteral("/dd-copy");
    if (QProcess::execute(QStringLiteral("dd"), {"if=/dev/urandom", "of=" + source, QStringLiteral("bs=1M"),
                                                 QStringLiteral("count=100"), QStringLiteral("status=none")})
        != 0)
        return fail(QStringLiteral("cannot write the dd source"));

    std::vector<Cell> cells;
    for (const int rate : kRatesMbit) {
        if (!shareControl({QStringLiteral("rate"), state, QString::number(rate)}))
            return fail(QStringLiteral("cannot shape the link"));
        std::vector<double> ours, dd, paired, oursRead, ddRead;
        QString method;
        for (int round = 0; round < rounds; ++round) {
            std::optional<QJsonObject> result;
            std::optional<double> ddWrite, ddReadBack;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (round % 2 == 0)) {
                    result = runCli({QStringLiteral("--size=100"), QStringLiteral("--repeat=1"), QStringLiteral("--read"),
                                     data},
                                    temporary.path());
                } else {
                    ddWrite = ddRate({"if=" + source, "of=" + ddCopy, QStringLiteral("bs=1M"), QStringLiteral("conv=fsync")});
                    ddReadBack = ddRate({"if=" + ddCopy, QStringLiteral("of=/dev/null"), QStringLiteral("bs=1M")});
                    QFile::remove(ddCopy);
                }
            }
            if (!result || !ddWrite || !ddReadBack)
                return fail(QStringLiteral("a run failed"));
            ours.push_back(medianRate(*result, QStringLiteral("write")));
            dd.push_back(*ddWrite);
            paired.push_back(ours.back() / dd.back());
            oursRead.push_back(medianRate(*result, QStringLiteral("read")));
            ddRead.push_back(*ddReadBack);
            method = readMethod(*result);
            std::printf("%d Mbit/s, round %d: write %.2f MiB/s (dd %.2f), read %.2f MiB/s %s (dd %.2f)\n", rate,
                        round + 1, ours.back() / 1048576, dd.back() / 1048576, oursRead.back() / 1048576,
                        qPrintable(method), ddRead.back() / 1048576);
            std::fflush(stdout);
        }
        cells.push_back({rate, median(ours), median(dd), median(paired), median(oursRead), median(ddRead), method});
    }

    std::printf("\n| link (Mbit/s) | write (MiB/s) | dd (MiB/s) | write ÷ dd (paired) | read (MiB/s) | method | "
                "dd read (MiB/s) | read ÷ goodput ceiling |\n|---:|---:|---:|---:|---:|---|---:|---:|\n");
    bool met = true;
    for (const Cell& cell : cells) {
        const double ceiling = cell.rate * 1e6 / 8 * kGoodput;
        std::printf("| %d | %.2f | %.2f | %.3f (%.3f) | %.2f | %s | %.2f | %.3f |\n", cell.rate, cell.write / 1048576,
                    cell.dd / 1048576, cell.write / cell.dd, cell.paired, cell.read / 1048576, qPrintable(cell.method),
                    cell.ddRead / 1048576, cell.read / ceiling);
        met = met && cell.paired >= 0.98 && cell.read / ceiling >= 0.95;
    }
    std::printf("\ngoals, write at least 0.98 x dd (paired) and read at least 0.95 x the goodput ceiling in every cell: %s\n",
                met ? "met" : "NOT met");
    std::printf("MiB = 2^20 bytes; medians of %d rounds of 100 MiB; goodput ceiling = %.3f x the shaped rate\n", rounds,
                kGoodput);
    return 0;
}
