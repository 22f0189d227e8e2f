#pragma once

#include "TestPattern.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// Writes `size` bytes of `pattern` to a new file at `path` (UTF-8).
inline void writePatternFile(const std::string& path, const measure::TestPattern& pattern, std::int64_t size)
{
    std::ofstream out(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary | std::ios::trunc);
    std::vector<char> block(1 << 20);
    for (std::int64_t done = 0; done < size;) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(size - done, std::ssize(block)));
        pattern.fill(static_cast<std::uint64_t>(done), std::span<char>(block.data(), count));
        out.write(block.data(), static_cast<std::streamsize>(count));
        done += static_cast<std::int64_t>(count);
    }
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

// Changes one byte of a file in place.
inline void flipByte(const std::string& path, std::int64_t offset)
{
    std::fstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                      std::ios::binary | std::ios::in | std::ios::out);
    file.seekg(offset);
    char c = 0;
    file.get(c);
    file.seekp(offset);
    file.put(static_cast<char>(c ^ 0x20));
    if (!file.flush())
        throw std::runtime_error("cannot change " + path);
}

} // namespace testsupport
