#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace measure {

// The times of a phase's single operations, as a reader wants them.
struct LatencySummary {
    std::int64_t count = 0;
    // Seconds; nearest rank (the smallest time that at least that share of
    // the operations took no longer than).
    double p50 = 0;
    double p90 = 0;
    double p99 = 0;
    double max = 0;
};

// The time of every operation of a phase, kept in the same small memory
// (about 21 KiB) however many there are: a histogram whose buckets split
// each power of two of nanoseconds into 128 equal parts. A percentile is
// the middle of its bucket, so it is within 0.4 % (2^-8) of the exact
// nearest-rank value; times under 128 ns, the minimum and the maximum are
// exact. Times from 2^47 ns (39 hours) on share the last bucket.
class Latencies {
public:
    // The relative error of a percentile, at most.
    static constexpr double kRelativeError = 1.0 / 256;

    void add(std::chrono::nanoseconds time);

    std::int64_t count() const { return m_count; }
    // `fraction` from 0 (exclusive) to 1; zero when nothing was added.
    std::chrono::nanoseconds percentile(double fraction) const;
    std::chrono::nanoseconds max() const { return m_max; }
    LatencySummary summary() const;

private:
    static constexpr int kSubBits = 7;
    static constexpr int kMaxExponent = 47;
    static constexpr std::size_t kBuckets = (std::size_t{1} << kSubBits) * (kMaxExponent - kSubBits + 2);

    static std::size_t bucketOf(std::uint64_t nanoseconds);
    static std::uint64_t middleOf(std::size_t bucket);

    std::array<std::uint32_t, kBuckets> m_counts{};
    std::int64_t m_count = 0;
    std::chrono::nanoseconds m_min{};
    std::chrono::nanoseconds m_max{};
};

} // namespace measure
