#include "OutputFile.h"

#include "PlatformError.h"
#include "Utf16.h"
#include "WrittenFiles.h"

#include <memory>

#include <windows.h>

namespace cli {

namespace {

// Other runs append to the same history at once, and a reader may hold it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct HandleCloser {
    void operator()(void* handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

HANDLE toHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t fromHandle(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

HANDLE tryOpen(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

HANDLE openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags = FILE_ATTRIBUTE_NORMAL)
{
    const HANDLE handle = tryOpen(platform::systemPath(path), access, share, disposition, flags);
    if (handle == INVALID_HANDLE_VALUE)
        platform::throwSystemError("open the output file", path);
    return handle;
}

void writeAll(HANDLE handle, const std::string& text, const std::string& path)
{
    for (std::size_t done = 0; done < text.size();) {
        DWORD count = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        if (!::WriteFile(handle, text.data() + done, size, &count, nullptr))
            platform::throwSystemError("write", path);
        if (count == 0)
            platform::throwError("write", path, std::errc::io_error);
        done += count;
    }
}

// Standard output or error when `file` is the disk file it writes to.
HANDLE standardStreamAt(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION mine{};
    if (!::GetFileInformationByHandle(file, &mine))
        return nullptr;
    for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE stream = ::GetStdHandle(which);
        BY_HANDLE_FILE_INFORMATION theirs{};
        if (stream != nullptr && stream != INVALID_HANDLE_VALUE && ::GetFileType(stream) == FILE_TYPE_DISK
            && ::GetFileInformationByHandle(stream, &theirs)
            && theirs.dwVolumeSerialNumber == mine.dwVolumeSerialNumber
            && theirs.nFileIndexHigh == mine.nFileIndexHigh && theirs.nFileIndexLow == mine.nFileIndexLow)
            return stream;
    }
    return nullptr;
}

// The file behind the path once its links are followed: the rename has to
// replace it, not the link.
std::string finalPath(HANDLE file, const std::string& path)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            platform::throwSystemError("follow the links of", path);
        if (length < buffer.size())
            return platform::narrow(buffer.data(), length);
        buffer.resize(length);
    }
}

void appendLocked(HANDLE handle, const std::string& text, const std::string& header, const std::string& path)
{
    // Held from the look at the file's end to the end of the write: another
    // run appending at the same time waits, and only one of them finds the
    // file empty and writes the header.
    OVERLAPPED whole{};
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
        platform::throwSystemError("lock", path);
    struct Unlock {
        HANDLE handle;
        ~Unlock()
        {
            OVERLAPPED whole{};
            ::UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
        }
    } unlock{handle};
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(handle, &length))
        platform::throwSystemError("read the length of", path);
    std::string block = header;
    if (length.QuadPart > 0) {
        char last = '\n';
        DWORD read = 0;
        OVERLAPPED lastByte{};
        lastByte.Offset = static_cast<DWORD>(length.QuadPart - 1);
        lastByte.OffsetHigh = static_cast<DWORD>((length.QuadPart - 1) >> 32);
        if (!::ReadFile(handle, &last, 1, &read, &lastByte))
            platform::throwSystemError("read", path);
        block = OutputFile::lineEndAfter(last, text);
    }
    block += text;
    try {
        if (!::SetFilePointerEx(handle, length, nullptr, FILE_BEGIN))
            platform::throwSystemError("write", path);
        writeAll(handle, block, path);
    } catch (const platform::Error& error) {
        // A torn row would have the next run's row glued to it.
        if (!::SetFilePointerEx(handle, length, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle))
            throw platform::Error(std::string(error.what())
                                  + "; the part written stays in the file: " + platform::lastSystemErrorText());
        throw platform::Error(std::string(error.what()) + "; the file was left as it was");
    }
}

} // namespace

OutputFile::OutputFile(const std::string& path, Mode mode, const std::string& host)
    : m_path(path)
    , m_mode(mode)
{
    const std::wstring wide = platform::systemPath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw platform::Error("Cannot write the result to " + platform::quotedPath(path) + ": it is a folder");
    // Write access alone, which NUL, the console and a pipe take as well.
    const HANDLE opened = tryOpen(wide, GENERIC_WRITE, kShareAll, mode == Mode::Append ? OPEN_ALWAYS : OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL);
    if (opened == INVALID_HANDLE_VALUE) {
        if (mode == Mode::Append || ::GetLastError() != ERROR_FILE_NOT_FOUND)
            platform::throwSystemError("open the output file", path);
        m_target = path;
    } else {
        Handle probe(opened);
        if (::GetFileType(opened) != FILE_TYPE_DISK) {
            m_way = Way::Through;
            m_handle = fromHandle(probe.release());
            return;
        }
        if (const HANDLE stream = standardStreamAt(opened)) {
            // Where the shell's redirection has got to, as standard output
            // would write: opening the name again would start at the beginning.
            HANDLE copy = nullptr;
            if (!::DuplicateHandle(::GetCurrentProcess(), stream, ::GetCurrentProcess(), &copy, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
                platform::throwSystemError("open the output file", path);
            m_way = Way::Through;
            m_handle = fromHandle(copy);
            return;
        }
        if (mode == Mode::Append) {
            // Read as well: the last byte says whether a line was left open.
            m_way = Way::LockedAppend;
            m_handle = fromHandle(openFile(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING));
            return;
        }
        m_target = finalPath(opened, path);
    }
    chooseTemporary(host);
    m_handle = fromHandle(openFile(m_temporary, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT));
    writtenFiles().add(m_temporary, "the unfinished result", "beside the output file");
}

OutputFile::~OutputFile()
{
    if (toHandle(m_handle) != INVALID_HANDLE_VALUE)
        ::CloseHandle(toHandle(m_handle));
    if (!m_temporary.empty() && ::DeleteFileW(platform::systemPath(m_temporary).c_str()))
        writtenFiles().remove(m_temporary);
}

void OutputFile::commit(const std::string& text, const std::string& header)
{
    const HANDLE handle = toHandle(m_handle);
    if (m_way == Way::LockedAppend) {
        appendLocked(handle, text, header, m_path);
        return;
    }
    if (m_way == Way::Through) {
        // A history that standard output was redirected to keeps its header.
        LARGE_INTEGER length{};
        const bool holdsRows = m_mode == Mode::Append && ::GetFileType(handle) == FILE_TYPE_DISK
                            && ::GetFileSizeEx(handle, &length) && length.QuadPart > 0;
        writeAll(handle, (holdsRows ? std::string() : header) + text, m_path);
        return;
    }
    writeAll(handle, header + text, m_temporary);
    if (!::FlushFileBuffers(handle))
        platform::throwSystemError("flush", m_temporary);
    ::CloseHandle(handle);
    m_handle = fromHandle(INVALID_HANDLE_VALUE);
    if (!::MoveFileExW(platform::systemPath(m_temporary).c_str(), platform::systemPath(m_target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        platform::throwSystemError("replace", m_path);
    writtenFiles().remove(m_temporary);
    m_temporary.clear();
}

} // namespace cli
