#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace relay {

// The packets one direction of the relay holds, oldest first, each with the
// time it arrived. They live in one ring of bytes allocated up front, so the
// memory a relay can take is fixed when it starts, whatever the traffic.
class DelayQueue {
public:
    explicit DelayQueue(std::size_t capacityBytes);

    // False, and nothing stored, when the packet does not fit beside those
    // already held.
    bool push(std::chrono::nanoseconds arrival, std::span<const std::byte> packet);

    bool empty() const { return m_count == 0; }
    std::size_t packets() const { return m_count; }
    // Bytes the held packets take in the ring, their bookkeeping included.
    std::size_t bytesHeld() const;
    std::size_t capacity() const { return m_capacity; }
    // What a packet of this length takes in the ring.
    static std::size_t spaceFor(std::size_t length);

    // Only while not empty.
    std::chrono::nanoseconds frontArrival() const;
    std::span<const std::byte> front() const;
    void pop();

private:
    struct Record {
        std::int64_t arrivalNs;
        std::uint32_t length;
    };
    Record recordAt(std::size_t offset) const;

    std::size_t m_capacity;
    std::unique_ptr<std::byte[]> m_ring;
    std::size_t m_head = 0;
    std::size_t m_tail = 0;
    // A record never straddles the end of the ring: when the next one does
    // not fit there, it goes to the start and the held ones end at m_end.
    bool m_wrapped = false;
    std::size_t m_end = 0;
    std::size_t m_count = 0;
};

} // namespace relay
