#pragma once

#include "NativeFile.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A write-only text stream over a file. It collects writes in a large buffer
// so that the 1 KiB blocks of the test file do not each become a system call.
class TextStream {
public:
    static constexpr std::size_t kBufferSize = 1024 * 1024;

    explicit TextStream(NativeFile file);
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;
    ~TextStream();

    // Appends the characters as single bytes, with no line end.
    void write(std::string_view text);

    // Writes out what is buffered and closes the file; throws on failure.
    void close();

    const std::string& path() const { return m_file.path(); }

private:
    void flushBuffer();

    NativeFile m_file;
    std::vector<char> m_buffer;
};

// Drops a reference to a stream. Dropping the last one closes the file, and
// any error of that last write or close is thrown from here rather than lost
// in a destructor. The reference is empty afterwards in every case.
void release(std::shared_ptr<TextStream>& stream);

} // namespace platform
