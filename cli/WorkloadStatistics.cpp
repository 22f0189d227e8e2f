#include "WorkloadStatistics.h"

#include <algorithm>

namespace cli {

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<const WorkloadRun*> measured(const Report& report, Workload test)
{
    std::vector<const WorkloadRun*> runs;
    for (const WorkloadRun& run : report.workloadRuns) {
        if (run.test == test && !run.warmup && run.status == RunResult::Status::Ok)
            runs.push_back(&run);
    }
    return runs;
}

} // namespace

std::vector<PhaseStatistics> workloadStatistics(const Report& report, Workload test)
{
    const std::vector<const WorkloadRun*> runs = measured(report, test);
    std::vector<PhaseStatistics> phases;
    if (runs.empty())
        return phases;
    for (std::size_t i = 0; i < runs.front()->phases.size(); ++i) {
        PhaseStatistics phase;
        phase.phase = runs.front()->phases[i].phase;
        std::vector<Sample> operations;
        std::vector<Sample> bytes;
        std::vector<double> p50, p90, p99;
        for (const WorkloadRun* run : runs) {
            const PhaseResult& result = run->phases[i];
            operations.push_back({result.operations, result.seconds});
            if (result.bytes)
                bytes.push_back({*result.bytes, result.seconds});
            p50.push_back(result.latency.p50);
            p90.push_back(result.latency.p90);
            p99.push_back(result.latency.p99);
            phase.latency.max = std::max(phase.latency.max, result.latency.max);
            phase.latency.count += result.latency.count;
            phase.clientCacheSuspect = phase.clientCacheSuspect || result.clientCacheSuspect;
            phase.cacheSuspect = phase.cacheSuspect || result.cacheSuspect;
            if (phase.cacheBypass.empty() || result.cacheSuspect)
                phase.cacheBypass = result.cacheBypass;
        }
        phase.operations = *summarize(operations);
        if (!bytes.empty())
            phase.bytes = summarize(bytes);
        phase.latency.p50 = median(p50);
        phase.latency.p90 = median(p90);
        phase.latency.p99 = median(p99);
        phases.push_back(std::move(phase));
    }
    return phases;
}

bool workloadSucceeded(const Report& report, Workload test)
{
    if (report.outcome == Outcome::Failed || report.outcome == Outcome::Interrupted)
        return false;
    return static_cast<int>(measured(report, test).size()) == report.repeats;
}

} // namespace cli
