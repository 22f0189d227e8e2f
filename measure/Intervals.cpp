#include "Intervals.h"

#include "Clock.h"

#include <algorithm>

namespace measure {

namespace {

double toSeconds(std::chrono::nanoseconds time)
{
    return std::chrono::duration<double>(time).count();
}

} // namespace

BlockTimes::BlockTimes(std::int64_t expectedBytes, std::size_t blockSize)
{
    const auto block = static_cast<std::int64_t>(std::max<std::size_t>(blockSize, 1));
    m_marks.reserve(static_cast<std::size_t>(std::max<std::int64_t>(expectedBytes, 0) / block + 2));
}

void BlockTimes::record(std::int64_t bytesSoFar)
{
    m_marks.push_back({platform::clock().now(), bytesSoFar});
}

std::vector<Interval> intervalsOf(std::span<const BlockTimes> transfers, std::chrono::nanoseconds start,
                                  std::chrono::nanoseconds end, std::chrono::nanoseconds length, bool flush)
{
    length = std::max(length, std::chrono::nanoseconds(1));
    std::chrono::nanoseconds lastBlock = start;
    for (const BlockTimes& transfer : transfers) {
        if (!transfer.marks().empty())
            lastBlock = std::max(lastBlock, transfer.marks().back().at);
    }
    const std::chrono::nanoseconds dataEnd = flush ? lastBlock : std::max(end, lastBlock);
    // Intervals are closed at their end, so that the last one is never empty
    // of time: (0, length], (length, 2 length], ...
    const auto indexOf = [&](std::chrono::nanoseconds at) -> std::size_t {
        const auto since = std::max(at - start, std::chrono::nanoseconds(0));
        return since.count() == 0 ? 0 : static_cast<std::size_t>((since.count() - 1) / length.count());
    };
    const std::size_t count = indexOf(dataEnd) + 1;

    std::vector<Interval> intervals(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto from = length * static_cast<std::int64_t>(i);
        intervals[i].startSeconds = toSeconds(from);
        intervals[i].seconds = toSeconds(std::min(length, dataEnd - start - from));
    }
    for (const BlockTimes& transfer : transfers) {
        std::chrono::nanoseconds from = std::max(transfer.start(), start);
        std::int64_t before = 0;
        for (const BlockTimes::Mark& mark : transfer.marks()) {
            const std::chrono::nanoseconds to = std::max(mark.at, from);
            const std::int64_t bytes = mark.bytes - before;
            const std::size_t last = std::min(indexOf(to), count - 1);
            // The interval holding the instant just after `from`.
            std::size_t i = std::min(static_cast<std::size_t>((from - start).count() / length.count()), last);
            std::int64_t left = bytes;
            for (; i < last; ++i) {
                const auto intervalEnd = start + length * static_cast<std::int64_t>(i + 1);
                const double share = static_cast<double>((intervalEnd - std::max(from, intervalEnd - length)).count())
                    / static_cast<double>((to - from).count());
                const auto part = std::min(left, static_cast<std::int64_t>(static_cast<double>(bytes) * share));
                intervals[i].bytes += part;
                left -= part;
            }
            intervals[last].bytes += left;
            before = mark.bytes;
            from = to;
        }
    }
    if (flush)
        intervals.push_back(
            {toSeconds(lastBlock - start), toSeconds(std::max(end - lastBlock, std::chrono::nanoseconds(0))), 0, true});
    return intervals;
}

} // namespace measure
