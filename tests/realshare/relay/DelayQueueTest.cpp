// The relay's queue: packets come out whole, in the order they went in,
// with their arrival times, however often the ring wraps; and a full queue
// refuses a packet without harming the ones it holds.

#include "DelayQueue.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::vector<std::byte> packet(std::size_t size, int seed)
{
    std::vector<std::byte> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::byte>(seed * 31 + i);
    return bytes;
}

void expectFront(const relay::DelayQueue& queue, const std::vector<std::byte>& expected,
                 std::chrono::nanoseconds arrival)
{
    ASSERT_FALSE(queue.empty());
    EXPECT_EQ(queue.frontArrival(), arrival);
    const auto front = queue.front();
    EXPECT_EQ(std::vector<std::byte>(front.begin(), front.end()), expected);
}

} // namespace

TEST(DelayQueue, KeepsOrderAndContentWhileTheRingWraps)
{
    // Sizes that do not divide the ring, so records end at every offset and
    // the gap left at its end differs each time round.
    relay::DelayQueue queue(1000);
    std::deque<std::pair<std::vector<std::byte>, std::chrono::nanoseconds>> held;
    int next = 0;
    for (int round = 0; round < 200; ++round) {
        while (true) {
            auto bytes = packet(37 + (next * 53) % 211, next);
            const auto arrival = std::chrono::nanoseconds(next) * 1000;
            if (!queue.push(arrival, bytes))
                break;
            held.emplace_back(std::move(bytes), arrival);
            ++next;
        }
        ASSERT_FALSE(held.empty());
        for (int i = 0; i < 1 + round % 3 && !held.empty(); ++i) {
            expectFront(queue, held.front().first, held.front().second);
            queue.pop();
            held.pop_front();
        }
        EXPECT_EQ(queue.packets(), held.size());
        EXPECT_LE(queue.bytesHeld(), queue.capacity());
    }
    while (!held.empty()) {
        expectFront(queue, held.front().first, held.front().second);
        queue.pop();
        held.pop_front();
    }
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.bytesHeld(), 0u);
}

TEST(DelayQueue, AFullQueueRefusesWithoutLosingWhatItHolds)
{
    const auto small = packet(100, 1);
    relay::DelayQueue queue(3 * relay::DelayQueue::spaceFor(100));
    ASSERT_TRUE(queue.push(1ns, small));
    ASSERT_TRUE(queue.push(2ns, small));
    ASSERT_TRUE(queue.push(3ns, small));
    EXPECT_EQ(queue.bytesHeld(), queue.capacity());
    EXPECT_FALSE(queue.push(4ns, packet(1, 4)));
    EXPECT_EQ(queue.packets(), 3u);
    expectFront(queue, small, 1ns);

    // Room freed at the start is used once the end is full, to the byte.
    queue.pop();
    EXPECT_FALSE(queue.push(4ns, packet(101, 4)));
    EXPECT_TRUE(queue.push(4ns, small));
    for (const auto arrival : {2ns, 3ns, 4ns}) {
        expectFront(queue, small, arrival);
        queue.pop();
    }
    EXPECT_TRUE(queue.empty());
    EXPECT_FALSE(queue.push(5ns, packet(queue.capacity(), 5))) << "larger than the whole ring";
}
