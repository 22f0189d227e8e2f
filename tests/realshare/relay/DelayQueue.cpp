#include "DelayQueue.h"

#include <cstring>

namespace relay {

DelayQueue::DelayQueue(std::size_t capacityBytes)
    : m_capacity(capacityBytes)
    // Not zeroed: pages the traffic never reaches stay unallocated.
    , m_ring(std::make_unique_for_overwrite<std::byte[]>(capacityBytes))
{
}

std::size_t DelayQueue::spaceFor(std::size_t length)
{
    return sizeof(Record) + length;
}

bool DelayQueue::push(std::chrono::nanoseconds arrival, std::span<const std::byte> packet)
{
    const std::size_t need = spaceFor(packet.size());
    std::size_t at = m_tail;
    if (m_count == 0) {
        m_head = m_tail = at = 0;
        m_wrapped = false;
        if (need > m_capacity)
            return false;
    } else if (m_wrapped) {
        if (m_tail + need > m_head)
            return false;
    } else if (m_tail + need > m_capacity) {
        if (need > m_head)
            return false;
        m_wrapped = true;
        m_end = m_tail;
        at = 0;
    }
    const Record record{arrival.count(), static_cast<std::uint32_t>(packet.size())};
    std::memcpy(&m_ring[at], &record, sizeof record);
    std::memcpy(&m_ring[at + sizeof record], packet.data(), packet.size());
    m_tail = at + need;
    ++m_count;
    return true;
}

std::size_t DelayQueue::bytesHeld() const
{
    if (m_count == 0)
        return 0;
    return m_wrapped ? (m_end - m_head) + m_tail : m_tail - m_head;
}

DelayQueue::Record DelayQueue::recordAt(std::size_t offset) const
{
    Record record;
    std::memcpy(&record, &m_ring[offset], sizeof record);
    return record;
}

std::chrono::nanoseconds DelayQueue::frontArrival() const
{
    return std::chrono::nanoseconds(recordAt(m_head).arrivalNs);
}

std::span<const std::byte> DelayQueue::front() const
{
    return {&m_ring[m_head + sizeof(Record)], recordAt(m_head).length};
}

void DelayQueue::pop()
{
    m_head += spaceFor(recordAt(m_head).length);
    if (--m_count == 0) {
        m_head = m_tail = 0;
        m_wrapped = false;
    } else if (m_wrapped && m_head == m_end) {
        m_head = 0;
        m_wrapped = false;
    }
}

} // namespace relay
