#include "OutputFile.h"

#include "PlatformError.h"
#include "System.h"
#include "Utf16.h"

#include <windows.h>

namespace cli {

namespace {

HANDLE toHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

HANDLE openFile(const std::string& path, DWORD access, DWORD disposition)
{
    platform::refuseNul(path);
    const HANDLE handle = ::CreateFileW(platform::systemPath(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        platform::throwSystemError("open the output file", path);
    return handle;
}

} // namespace

OutputFile::OutputFile(const std::string& path, Mode mode)
    : m_path(path)
{
    if (mode == Mode::Append) {
        // FILE_APPEND_DATA alone: every write goes to the end of the file.
        const HANDLE handle = openFile(path, FILE_APPEND_DATA, OPEN_ALWAYS);
        m_handle = reinterpret_cast<std::intptr_t>(handle);
        LARGE_INTEGER size{};
        m_new = ::GetFileSizeEx(handle, &size) && size.QuadPart == 0;
        return;
    }
    m_temporary = path + ".tmp-" + std::to_string(processId());
    m_handle = reinterpret_cast<std::intptr_t>(openFile(m_temporary, GENERIC_WRITE, CREATE_NEW));
}

OutputFile::~OutputFile()
{
    if (toHandle(m_handle) != INVALID_HANDLE_VALUE)
        ::CloseHandle(toHandle(m_handle));
    if (!m_temporary.empty())
        ::DeleteFileW(platform::systemPath(m_temporary).c_str());
}

void OutputFile::commit(const std::string& text)
{
    const HANDLE handle = toHandle(m_handle);
    const std::string& written = m_temporary.empty() ? m_path : m_temporary;
    for (std::size_t done = 0; done < text.size();) {
        DWORD count = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        if (!::WriteFile(handle, text.data() + done, size, &count, nullptr))
            platform::throwSystemError("write", written);
        done += count;
    }
    if (m_temporary.empty())
        return;
    if (!::FlushFileBuffers(handle))
        platform::throwSystemError("flush", written);
    ::CloseHandle(handle);
    m_handle = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
    if (!::MoveFileExW(platform::systemPath(m_temporary).c_str(), platform::systemPath(m_path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        platform::throwSystemError("replace", m_path);
    m_temporary.clear();
}

} // namespace cli
