#include "OutputFile.h"

#include "PlatformError.h"
#include "System.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

int openFile(const std::string& path, int flags)
{
    platform::refuseNul(path);
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        platform::throwSystemError("open the output file", path);
    return fd;
}

void writeAll(int fd, const std::string& text, const std::string& path)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            platform::throwSystemError("write", path);
        if (n == 0)
            platform::throwError("write", path, std::errc::io_error);
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

OutputFile::OutputFile(const std::string& path, Mode mode)
    : m_path(path)
{
    if (mode == Mode::Append) {
        m_handle = openFile(path, O_CREAT | O_APPEND);
        struct stat st {};
        m_new = ::fstat(static_cast<int>(m_handle), &st) == 0 && st.st_size == 0;
        return;
    }
    m_temporary = path + ".tmp-" + std::to_string(processId());
    m_handle = openFile(m_temporary, O_CREAT | O_EXCL | O_NOFOLLOW);
}

OutputFile::~OutputFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

void OutputFile::commit(const std::string& text)
{
    const int fd = static_cast<int>(m_handle);
    const std::string& written = m_temporary.empty() ? m_path : m_temporary;
    writeAll(fd, text, written);
    if (m_temporary.empty())
        return;
    // On the disk before it takes the file's name, or a crash could leave
    // an empty file where the last good one was.
    if (::fsync(fd) != 0)
        platform::throwSystemError("flush", written);
    // Created with the umask's permissions, as the file itself would be.
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        platform::throwSystemError("replace", m_path);
    m_temporary.clear();
}

} // namespace cli
