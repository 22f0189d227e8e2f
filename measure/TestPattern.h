#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace measure {

// The bytes of a test file, computable at any offset so that a copy read
// back can be checked block by block without keeping the file in memory.
// 'X' is the window's file. Random bytes are what a share that compresses
// (SMB compression, a WAN optimiser, a compressing NAS file system) cannot
// shrink; they are the same for the same seed.
class TestPattern {
public:
    enum class Kind { X, Random };

    static TestPattern x() { return TestPattern(Kind::X, 0); }
    static TestPattern random(std::uint64_t seed) { return TestPattern(Kind::Random, seed); }

    Kind kind() const { return m_kind; }
    std::uint64_t seed() const { return m_seed; }
    // "x" or "random", as the command line and its output name it.
    std::string_view name() const;

    // The file's bytes from `offset` on, as many as `bytes` holds.
    void fill(std::uint64_t offset, std::span<char> bytes) const;
    // The offset, counted from `offset`, of the first byte that is not the
    // file's; bytes.size() when they all are.
    std::size_t firstDifference(std::uint64_t offset, std::span<const char> bytes) const;

private:
    // firstDifference made the plain way: a block of the file, then memcmp.
    std::size_t firstDifferenceByBlocks(std::uint64_t offset, std::span<const char> bytes) const;

    TestPattern(Kind kind, std::uint64_t seed)
        : m_kind(kind)
        , m_seed(seed)
    {
    }

    Kind m_kind;
    std::uint64_t m_seed;
};

} // namespace measure
