#include "Latencies.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace measure {

namespace {

constexpr std::uint64_t kSub = std::uint64_t{1} << 7;

double toSeconds(std::chrono::nanoseconds time)
{
    return std::chrono::duration<double>(time).count();
}

} // namespace

std::size_t Latencies::bucketOf(std::uint64_t ns)
{
    if (ns < kSub)
        return static_cast<std::size_t>(ns);
    const int exponent = std::min(static_cast<int>(std::bit_width(ns)) - 1, kMaxExponent);
    const std::uint64_t top = std::min(ns >> (exponent - kSubBits), 2 * kSub - 1);
    return static_cast<std::size_t>(kSub * static_cast<std::uint64_t>(exponent - kSubBits + 1) + (top - kSub));
}

std::uint64_t Latencies::middleOf(std::size_t bucket)
{
    if (bucket < kSub)
        return bucket;
    const int exponent = static_cast<int>(bucket / kSub) - 1 + kSubBits;
    const std::uint64_t width = std::uint64_t{1} << (exponent - kSubBits);
    const std::uint64_t low = (kSub + bucket % kSub) * width;
    return low + width / 2;
}

void Latencies::add(std::chrono::nanoseconds time)
{
    time = std::max(time, std::chrono::nanoseconds(0));
    ++m_counts[bucketOf(static_cast<std::uint64_t>(time.count()))];
    if (m_count == 0 || time < m_min)
        m_min = time;
    m_max = std::max(m_max, time);
    ++m_count;
}

std::chrono::nanoseconds Latencies::percentile(double fraction) const
{
    if (m_count == 0)
        return {};
    const auto rank = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(std::ceil(fraction * static_cast<double>(m_count))), 1, m_count);
    std::int64_t seen = 0;
    for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) {
        seen += m_counts[bucket];
        if (seen >= rank) {
            const auto middle = std::chrono::nanoseconds(static_cast<std::int64_t>(middleOf(bucket)));
            return std::clamp(middle, m_min, m_max);
        }
    }
    return m_max;
}

LatencySummary Latencies::summary() const
{
    return {m_count, toSeconds(percentile(0.5)), toSeconds(percentile(0.9)), toSeconds(percentile(0.99)),
            toSeconds(m_max)};
}

} // namespace measure
