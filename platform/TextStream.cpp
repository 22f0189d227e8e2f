#include "TextStream.h"

#include <utility>

namespace platform {

TextStream::TextStream(NativeFile file)
    : m_file(std::move(file))
{
    m_buffer.reserve(kBufferSize);
}

TextStream::~TextStream() = default;

void TextStream::write(std::string_view text)
{
    if (text.size() > kBufferSize - m_buffer.size())
        flushBuffer();
    if (text.size() >= kBufferSize) {
        m_file.writeAll(text.data(), text.size());
        return;
    }
    m_buffer.insert(m_buffer.end(), text.begin(), text.end());
}

void TextStream::flushBuffer()
{
    if (m_buffer.empty())
        return;
    try {
        m_file.writeAll(m_buffer.data(), m_buffer.size());
    } catch (...) {
        // Reported once; a later flush must not write the same bytes again.
        m_buffer.clear();
        throw;
    }
    m_buffer.clear();
}

void TextStream::close()
{
    if (!m_file.isOpen())
        return;
    try {
        flushBuffer();
    } catch (...) {
        m_buffer.clear();
        NativeFile discarded = std::move(m_file);
        throw;
    }
    m_file.close();
}

void release(std::shared_ptr<TextStream>& stream)
{
    std::shared_ptr<TextStream> dropped = std::move(stream);
    if (dropped && dropped.use_count() == 1)
        dropped->close();
}

} // namespace platform
