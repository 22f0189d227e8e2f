#pragma once

#include "TempFolder.h"
#include "TestPattern.h"

#include <cstdint>
#include <string>

namespace testsupport {

// Writes `size` bytes of `pattern` to a new file at `path` (UTF-8).
inline void writePatternFile(const std::string& path, const measure::TestPattern& pattern, std::int64_t size)
{
    std::string bytes(static_cast<std::size_t>(size), '\0');
    pattern.fill(0, bytes);
    writeFile(path, bytes);
}

// Changes one byte of a file.
inline void flipByte(const std::string& path, std::int64_t offset)
{
    std::string bytes = readFile(path);
    bytes.at(static_cast<std::size_t>(offset)) ^= 0x20;
    writeFile(path, bytes);
}

} // namespace testsupport
