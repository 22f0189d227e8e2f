#pragma once

#include "DelayQueue.h"
#include "TunDevice.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace relay {

struct Settings {
    // Holds the one-way delay in whole microseconds; read at the start and
    // again on every SIGHUP.
    std::string controlFile;
    // Rewritten whole (delay, counters) when the relay is ready, after every
    // SIGHUP and SIGUSR1, and when it ends.
    std::string statusFile;
    std::size_t queueBytes = 0;  // per direction
    std::string netnsA, tunA, netnsB, tunB;
};

// Passes every packet that arrives on one TUN device to the other once it
// has been held for the delay, in both directions, in the order they came.
class Relay {
public:
    // Expects SIGTERM, SIGINT, SIGHUP and SIGUSR1 blocked in the caller, so
    // none is lost before run() takes them.
    explicit Relay(const Settings& settings);
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;
    ~Relay();

    // Until SIGTERM or SIGINT, after which the packets held are still passed
    // on when their time comes (new ones are no longer taken). Throws on a
    // failure of the devices or of the control file.
    void run();

private:
    struct Direction {
        TunDevice& from;
        TunDevice& to;
        DelayQueue queue;
        std::uint64_t passed = 0;
        std::uint64_t droppedFull = 0;
        std::uint64_t writeFailures = 0;
        std::size_t mostBytesHeld = 0;
    };

    std::chrono::microseconds readDelay() const;
    void take(Direction& direction);
    void release(Direction& direction, std::chrono::nanoseconds now);
    bool handleSignals();  // true once asked to stop
    void writeStatus() const;

    Settings m_settings;
    std::chrono::microseconds m_delay;
    TunDevice m_a;
    TunDevice m_b;
    std::array<Direction, 2> m_directions;
    int m_signals = -1;
    std::vector<std::byte> m_buffer = std::vector<std::byte>(kMaxPacket);
};

} // namespace relay
