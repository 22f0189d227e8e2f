#include "Streams.h"

#include "Clock.h"
#include "PlatformError.h"
#include "Runtime.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace measure {

namespace {

template <typename Timing>
std::int64_t bytesOf(const std::vector<Timing>& streams)
{
    std::int64_t bytes = 0;
    for (const Timing& timing : streams)
        bytes += timing.bytes;
    return bytes;
}

template <typename Timing>
std::chrono::nanoseconds startOf(const std::vector<Timing>& streams)
{
    return std::min_element(streams.begin(), streams.end(),
                            [](const Timing& a, const Timing& b) { return a.start < b.start; })
        ->start;
}

template <typename Timing>
std::chrono::nanoseconds endOf(const std::vector<Timing>& streams)
{
    return std::max_element(streams.begin(), streams.end(),
                            [](const Timing& a, const Timing& b) { return a.end < b.end; })
        ->end;
}

// Holds every stream's thread until all have started, so that they begin
// together. A mutex and a condition variable rather than std::latch, whose
// wait on systems without futexes (libstdc++ 12 on Windows) can miss its
// wake-up and hang.
class StartingGate {
public:
    void open()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }

    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [&] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

// Runs work(i, stop) for every stream on a thread of its own, released
// together. On any failure the others are stopped, `undo` takes back what
// each finished stream did (returning a clause for what it could not), and
// the failure that started it is thrown with every such clause added.
template <typename Timing>
std::vector<Timing> together(std::size_t count, std::stop_token outer,
                             const std::function<Timing(std::size_t, std::stop_token)>& work,
                             const std::function<std::string(const Timing&)>& undo)
{
    if (count == 1)
        return {work(0, outer)};

    std::stop_source inner;
    const std::stop_callback forward(outer, [&] { inner.request_stop(); });
    StartingGate gate;
    std::vector<std::optional<Timing>> done(count);
    std::vector<std::exception_ptr> errors(count);
    {
        std::vector<std::jthread> threads;
        threads.reserve(count);
        try {
            for (std::size_t i = 0; i < count; ++i) {
                threads.emplace_back([&, i] {
                    gate.wait();
                    try {
                        done[i] = work(i, inner.get_token());
                    } catch (...) {
                        errors[i] = std::current_exception();
                        inner.request_stop();
                    }
                });
            }
        } catch (...) {
            // The threads that started are told to stop before they begin.
            inner.request_stop();
            gate.open();
            throw;
        }
        gate.open();
    }

    if (std::none_of(errors.begin(), errors.end(), [](const std::exception_ptr& error) { return bool(error); })) {
        std::vector<Timing> timings;
        for (std::optional<Timing>& timing : done)
            timings.push_back(std::move(*timing));
        return timings;
    }
    // The stops that one failure caused are no news; what each stream left is.
    std::exception_ptr cause;
    std::string leftOver;
    for (const std::exception_ptr& error : errors) {
        if (!error)
            continue;
        try {
            std::rethrow_exception(error);
        } catch (const platform::Cancelled& cancelled) {
            leftOver += cancelled.leftOver();
        } catch (...) {
            if (!cause)
                cause = error;
        }
    }
    for (const std::optional<Timing>& timing : done) {
        if (timing)
            leftOver += undo(*timing);
    }
    if (!cause)
        throw platform::Cancelled(leftOver);
    try {
        std::rethrow_exception(cause);
    } catch (const platform::Error& error) {
        if (leftOver.empty())
            throw;
        throw platform::Error(error.what() + leftOver, error.code());
    }
}

} // namespace

std::int64_t StreamCopies::bytes() const
{
    return bytesOf(streams);
}

std::chrono::nanoseconds StreamCopies::start() const
{
    return startOf(streams);
}

std::chrono::nanoseconds StreamCopies::end() const
{
    return endOf(streams);
}

double StreamCopies::seconds() const
{
    return platform::elapsedSeconds(start(), end(), platform::clock().resolution());
}

std::int64_t StreamReads::bytes() const
{
    return bytesOf(streams);
}

std::chrono::nanoseconds StreamReads::start() const
{
    return startOf(streams);
}

std::chrono::nanoseconds StreamReads::end() const
{
    return endOf(streams);
}

double StreamReads::seconds() const
{
    return platform::elapsedSeconds(start(), end(), platform::clock().resolution());
}

StreamCopies timeCopies(const platform::ResolvedPath& source, std::span<const platform::ResolvedPath> destinations,
                        std::stop_token stop, std::span<const CopyProgress> progress)
{
    if (destinations.empty())
        throw platform::Error("Cannot copy " + platform::quotedPath(source.native()) + ": no destination given");
    const std::function<CopyTiming(std::size_t, std::stop_token)> copy = [&](std::size_t i, std::stop_token token) {
        return timeCopy(source, destinations[i], std::move(token), progress.empty() ? CopyProgress() : progress[i]);
    };
    const std::function<std::string(const CopyTiming&)> remove = [](const CopyTiming& timing) {
        return platform::removeLeftOver(timing.copy);
    };
    return {together<CopyTiming>(destinations.size(), std::move(stop), copy, remove)};
}

StreamReads timeReads(std::span<const platform::ResolvedPath> copies, std::int64_t expectedBytes,
                      const TestPattern& pattern, std::stop_token stop, std::span<const ReadProgress> progress)
{
    if (copies.empty())
        throw platform::Error("Cannot read back: no copy given");
    const std::function<ReadTiming(std::size_t, std::stop_token)> read = [&](std::size_t i, std::stop_token token) {
        return timeRead(copies[i], expectedBytes, pattern, std::move(token),
                        progress.empty() ? ReadProgress() : progress[i]);
    };
    const std::function<std::string(const ReadTiming&)> nothing = [](const ReadTiming&) { return std::string(); };
    return {together<ReadTiming>(copies.size(), std::move(stop), read, nothing)};
}

} // namespace measure
