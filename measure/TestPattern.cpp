#include "TestPattern.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace measure {

namespace {

// splitmix64: every 8-byte word is a function of the seed and its own index,
// so any block can be made without the ones before it.
std::uint64_t word(std::uint64_t seed, std::uint64_t index)
{
    std::uint64_t z = seed + (index + 1) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

std::string_view TestPattern::name() const
{
    return m_kind == Kind::X ? "x" : "random";
}

void TestPattern::fill(std::uint64_t offset, std::span<char> bytes) const
{
    if (m_kind == Kind::X) {
        std::fill(bytes.begin(), bytes.end(), 'X');
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint64_t at = offset + done;
        const std::uint64_t value = word(m_seed, at / 8);
        unsigned char little[8];
        for (int i = 0; i < 8; ++i)
            little[i] = static_cast<unsigned char>(value >> (8 * i));
        const std::size_t from = at % 8;
        const std::size_t count = std::min<std::size_t>(8 - from, bytes.size() - done);
        std::memcpy(bytes.data() + done, little + from, count);
        done += count;
        // Whole words from here on, as long as they fit: the check of a read
        // runs inside its timed span and must cost next to nothing.
        if constexpr (std::endian::native == std::endian::little) {
            for (; bytes.size() - done >= 8; done += 8) {
                const std::uint64_t next = word(m_seed, (offset + done) / 8);
                std::memcpy(bytes.data() + done, &next, 8);
            }
        }
    }
}

std::size_t TestPattern::firstDifference(std::uint64_t offset, std::span<const char> bytes) const
{
    std::size_t done = 0;
    // The random file's whole words are compared as they are made, without
    // a block in between: half again as fast as making a block and comparing
    // it (6.8 against 4.4 GB/s here, optimised), and this runs inside a
    // read's timed span. The bytes before the first whole word and after the
    // last one go the plain way.
    if constexpr (std::endian::native == std::endian::little) {
        if (m_kind == Kind::Random) {
            const std::size_t head = std::min<std::size_t>((8 - offset % 8) % 8, bytes.size());
            if (const std::size_t at = firstDifferenceByBlocks(offset, bytes.first(head)); at != head)
                return at;
            done = head;
            const std::size_t words = (bytes.size() - done) / 8;
            const std::uint64_t first = (offset + done) / 8;
            std::size_t w = 0;
            for (; w < words; ++w) {
                std::uint64_t got;
                std::memcpy(&got, bytes.data() + done + w * 8, 8);
                if (got != word(m_seed, first + w))
                    break;
            }
            done += w * 8;
        }
    }
    return done + firstDifferenceByBlocks(offset + done, bytes.subspan(done));
}

std::size_t TestPattern::firstDifferenceByBlocks(std::uint64_t offset, std::span<const char> bytes) const
{
    char expected[4096];
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t count = std::min(sizeof expected, bytes.size() - done);
        fill(offset + done, std::span<char>(expected, count));
        if (std::memcmp(expected, bytes.data() + done, count) != 0) {
            for (std::size_t i = 0; i < count; ++i) {
                if (expected[i] != bytes[done + i])
                    return done + i;
            }
        }
        done += count;
    }
    return bytes.size();
}

} // namespace measure
