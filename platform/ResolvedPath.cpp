#include "ResolvedPath.h"

#include "PlatformError.h"

#include <utility>

namespace platform {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr std::string_view kSeparators = "/\\";
#else
constexpr char kSeparator = '/';
// A backslash is part of a Linux file name.
constexpr std::string_view kSeparators = "/";
#endif

} // namespace

ResolvedPath::ResolvedPath(std::string path)
    : m_path(std::move(path))
{
}

ResolvedPath ResolvedPath::fromSystem(std::string path)
{
    return ResolvedPath(std::move(path));
}

ResolvedPath ResolvedPath::child(std::string_view name) const
{
    if (name.empty() || name == "." || name == ".." || name.find_first_of(kSeparators) != std::string_view::npos
        || name.find('\0') != std::string_view::npos)
        throw Error("Cannot name a file " + quotedPath(name) + " inside " + quotedPath(m_path)
                    + ": a name must be one name, not a path");
    const bool separated = !m_path.empty() && kSeparators.find(m_path.back()) != std::string_view::npos;
    return ResolvedPath(m_path + (separated ? "" : std::string(1, kSeparator)) + std::string(name));
}

} // namespace platform
