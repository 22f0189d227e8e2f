#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Which file an open handle or a directory entry is, independent of how its
// path was spelled (device and inode on POSIX, volume and file index on Windows).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

enum class EntryType { RegularFile, Directory, Other };

struct EntryInfo {
    EntryType type = EntryType::Other;
    std::int64_t size = 0;
    FileIdentity identity;
};

// What lies at a path, without following a link in its last component;
// nothing when no entry of that name exists. Other failures throw.
std::optional<EntryInfo> lookupEntry(const std::string& path);

// What a path names after following links; nothing when it does not exist.
std::optional<EntryInfo> lookupTarget(const std::string& path);

// Removes a directory entry of any kind but a folder; throws on failure.
void removeEntry(const std::string& path);

// Whether the current user may create files in the folder.
bool isWritableFolder(const std::string& folder);

// The full path of the running executable.
std::string executablePath();

// An open file handle that closes itself. Explicit close() reports errors;
// the destructor only cleans up after an error that is already on its way.
class NativeFile {
public:
    enum class Mode {
        Read,
        WriteTruncate,   // create if missing, empty it if present
        WriteCreateNew,  // fail if any entry of that name exists; never follows a link
    };

    static NativeFile open(const std::string& path, Mode mode);

    NativeFile(NativeFile&& other) noexcept;
    NativeFile& operator=(NativeFile&& other) noexcept;
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;
    ~NativeFile();

    // Writes everything or throws.
    void writeAll(const char* data, std::size_t size);
    // Reads up to size bytes; 0 at the end of the file.
    std::size_t read(char* data, std::size_t size);
    // Makes the written data durable (fsync, FlushFileBuffers).
    void sync();
    void close();
    // Closes without reporting: for cleaning up after an error already raised.
    void discard() noexcept;

    FileIdentity identity() const;
    const std::string& path() const { return m_path; }
    bool isOpen() const;

private:
    // -1 is both an invalid descriptor and INVALID_HANDLE_VALUE.
    static constexpr std::intptr_t kClosedHandle = -1;

    NativeFile(std::intptr_t handle, std::string path);

    std::intptr_t m_handle;
    std::string m_path;
};

} // namespace platform
