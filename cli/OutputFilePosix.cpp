#include "OutputFile.h"

#include "PlatformError.h"
#include "WrittenFiles.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

int openFile(const std::string& path, int flags)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
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

// Standard output or error when `entry` is what it writes to (a file the
// shell redirected it to, a pipe, a terminal, the journal's socket); -1
// otherwise.
int standardStreamAt(const struct stat& entry)
{
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_dev == entry.st_dev && st.st_ino == entry.st_ino)
            return fd;
    }
    return -1;
}

// The file a chain of links ends at, which need not exist yet: the rename
// has to replace it, not the link.
std::string linkedFile(const std::string& path)
{
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), target, sizeof target);
        if (n <= 0)
            return at;
        std::string next(target, static_cast<std::size_t>(n));
        // A relative link is read from the folder the link is in.
        const std::size_t slash = at.rfind('/');
        if (next.front() != '/' && slash != std::string::npos)
            next.insert(0, at, 0, slash + 1);
        at = std::move(next);
    }
    platform::throwError("follow the links of", path, std::errc::too_many_symbolic_link_levels);
}

void appendLocked(int fd, const std::string& text, const std::string& header, const std::string& path)
{
    // Held from the look at the file's end to the end of the write: another
    // run appending at the same time waits, and only one of them finds the
    // file empty and writes the header.
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            platform::throwSystemError("lock", path);
    }
    struct Unlock {
        int fd;
        ~Unlock() { ::flock(fd, LOCK_UN); }
    } unlock{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        platform::throwSystemError("read the length of", path);
    std::string block = header;
    if (st.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) < 0)
            platform::throwSystemError("read", path);
        block = OutputFile::lineEndAfter(last, text);
    }
    block += text;
    try {
        writeAll(fd, block, path);
    } catch (const platform::Error& error) {
        // A torn row would have the next run's row glued to it.
        if (::ftruncate(fd, st.st_size) != 0)
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
    platform::refuseNul(path);
    struct stat entry {};
    if (::stat(path.c_str(), &entry) == 0) {
        if (const int stream = standardStreamAt(entry); stream >= 0) {
            // At the offset the shell's redirection has, as standard output
            // would be: opening the name again would start at the beginning.
            m_way = Way::Through;
            m_handle = ::fcntl(stream, F_DUPFD_CLOEXEC, 0);
            if (m_handle < 0)
                platform::throwSystemError("open the output file", path);
            return;
        }
        if (S_ISDIR(entry.st_mode))
            throw platform::Error("Cannot write the result to " + platform::quotedPath(path) + ": it is a folder");
        if (!S_ISREG(entry.st_mode)) {
            m_way = Way::Through;
            m_handle = openFile(path, O_WRONLY | O_NOCTTY);
            return;
        }
    }
    if (mode == Mode::Append) {
        m_way = Way::LockedAppend;
        // Read as well: the last byte says whether a line was left open.
        m_handle = openFile(path, O_RDWR | O_CREAT | O_APPEND);
        return;
    }
    m_target = linkedFile(path);
    chooseTemporary(host);
    m_handle = openFile(m_temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
    writtenFiles().add(m_temporary, "the unfinished result", "beside the output file");
}

OutputFile::~OutputFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    if (!m_temporary.empty() && ::unlink(m_temporary.c_str()) == 0)
        writtenFiles().remove(m_temporary);
}

void OutputFile::commit(const std::string& text, const std::string& header)
{
    const int fd = static_cast<int>(m_handle);
    if (m_way == Way::LockedAppend) {
        appendLocked(fd, text, header, m_path);
        return;
    }
    if (m_way == Way::Through) {
        // A history that standard output was redirected to keeps its header.
        struct stat st {};
        const bool holdsRows = m_mode == Mode::Append && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
        writeAll(fd, (holdsRows ? std::string() : header) + text, m_path);
        return;
    }
    writeAll(fd, header + text, m_temporary);
    // On the disk before it takes the file's name, or a crash could leave
    // an empty file where the last good one was.
    if (::fsync(fd) != 0)
        platform::throwSystemError("flush", m_temporary);
    // Created with the umask's permissions, as the file itself would be.
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        platform::throwSystemError("replace", m_path);
    writtenFiles().remove(m_temporary);
    m_temporary.clear();
}

} // namespace cli
