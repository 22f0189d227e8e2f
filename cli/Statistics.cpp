#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace cli {

std::optional<RateStatistics> summarize(const std::vector<Sample>& samples)
{
    if (samples.empty())
        return std::nullopt;
    RateStatistics s;
    s.runs = static_cast<int>(samples.size());
    std::vector<double> rates;
    for (const Sample& sample : samples) {
        s.bytesTotal += sample.bytes;
        s.secondsTotal += sample.seconds;
        rates.push_back(static_cast<double>(sample.bytes) / sample.seconds);
    }
    std::sort(rates.begin(), rates.end());
    const std::size_t n = rates.size();
    s.median = n % 2 ? rates[n / 2] : (rates[n / 2 - 1] + rates[n / 2]) / 2;
    s.min = rates.front();
    s.max = rates.back();
    s.mean = std::accumulate(rates.begin(), rates.end(), 0.0) / static_cast<double>(n);
    s.aggregate = static_cast<double>(s.bytesTotal) / s.secondsTotal;
    if (n > 1) {
        double squares = 0;
        for (const double rate : rates)
            squares += (rate - s.mean) * (rate - s.mean);
        s.stdev = std::sqrt(squares / static_cast<double>(n - 1));
    }
    return s;
}

} // namespace cli
