#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef __linux__
#include <sys/mount.h>
#endif

namespace testsupport {

namespace fs = std::filesystem;

TempFolder::TempFolder()
    : TempFolder(fs::temp_directory_path().string())
{
}

TempFolder::TempFolder(const std::string& parent)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::path(parent) / ("dozozeda-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            m_path = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

SmallDisk::SmallDisk(unsigned megabytes, bool readOnly)
{
#ifdef __linux__
    const std::string options = "size=" + std::to_string(megabytes) + "m";
    m_mounted = ::mount("tmpfs", m_folder.path().c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
#else
    (void)megabytes;
    (void)readOnly;
#endif
}

SmallDisk::~SmallDisk()
{
#ifdef __linux__
    if (m_mounted)
        ::umount2(m_folder.path().c_str(), MNT_DETACH);
#endif
}

std::string readFile(const std::string& path)
{
    std::ifstream in(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return std::move(content).str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

int entryCount(const std::string& folder)
{
    std::error_code error;
    int count = 0;
    for (fs::directory_iterator entry(fs::path(std::u8string(folder.begin(), folder.end())), error), end;
         !error && entry != end; entry.increment(error))
        ++count;
    return error ? -1 : count;
}

} // namespace testsupport
