#include "ShareMounts.h"

#include "PlatformError.h"

#include <arpa/inet.h>
#include <locale.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace platform {

namespace {

// "\040" and the like; anything else is kept as it is.
std::string unescapeOctal(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto octal = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '7'; };
        if (text[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            result += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(separator, start), text.size());
        if (end > start)
            parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The value of key=value in a comma-separated list of options.
std::optional<std::string> option(std::string_view options, std::string_view key)
{
    for (const std::string& item : split(options, ',')) {
        if (item.size() > key.size() && item.starts_with(key) && item[key.size()] == '=')
            return item.substr(key.size() + 1);
    }
    return std::nullopt;
}

std::string withoutBrackets(const std::string& server)
{
    if (server.size() >= 2 && server.front() == '[' && server.back() == ']')
        return server.substr(1, server.size() - 2);
    return server;
}

// One spelling per address ("fe80:0000::1%2" and "[fe80::1]" are the same);
// empty when the text is a name, not an address.
std::string canonicalAddress(const std::string& text)
{
    std::string address = withoutBrackets(text);
    address = address.substr(0, address.find('%'));
    unsigned char bytes[16];
    char buffer[INET6_ADDRSTRLEN];
    for (const int family : {AF_INET, AF_INET6}) {
        if (::inet_pton(family, address.c_str(), bytes) == 1 && ::inet_ntop(family, bytes, buffer, sizeof buffer))
            return buffer;
    }
    return {};
}

bool sameServer(const std::string& a, const std::string& b)
{
    if (foldCase(withoutBrackets(a)) == foldCase(withoutBrackets(b)))
        return true;
    const std::string address = canonicalAddress(a);
    return !address.empty() && address == canonicalAddress(b);
}

// The names below a mount's folder, joined. Whatever the names hold, the
// result stays inside that folder: a copy sent beside the mount would land on
// the local disk and be timed as the network's.
std::string joinBelow(const std::string& mount, const std::vector<std::string>& names, std::size_t from = 0)
{
    namespace fs = std::filesystem;
    fs::path folder(mount);
    for (std::size_t i = from; i < names.size(); ++i)
        folder /= fs::path(names[i]).relative_path();
    const fs::path base = fs::path(mount).lexically_normal();
    const fs::path joined = folder.lexically_normal();
    const fs::path inside = joined.lexically_relative(base);
    if (inside.empty() || *inside.begin() == "..")
        throw Error("Cannot use " + quotedPath(joined.string()) + " for a share: it lies outside the mount "
                    + quotedPath(mount) + " it was looked up in");
    std::string result = joined.string();
    // "/mnt/x/." for the mount itself reads better without the dot.
    if (result.size() > 1 && result.ends_with('/'))
        result.pop_back();
    return result;
}

std::vector<std::string> addressesOf(const std::string& server)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::string> addresses;
    if (::getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        char host[NI_MAXHOST];
        if (::getnameinfo(entry->ai_addr, entry->ai_addrlen, host, sizeof host, nullptr, 0, NI_NUMERICHOST) == 0)
            addresses.push_back(canonicalAddress(host));
    }
    ::freeaddrinfo(found);
    return addresses;
}

// The check and the timed copy right after it resolve the same address; the
// copy must not wait for the name service a second time. An answer is kept
// while the mounts stay as they were.
AddressLookup rememberingLookup(const std::string& mountInfo)
{
    return [mountInfo](const std::string& server) {
        static std::mutex mutex;
        static std::string lastMountInfo;
        static std::string lastServer;
        static std::vector<std::string> lastAddresses;
        const std::lock_guard lock(mutex);
        if (server != lastServer || mountInfo != lastMountInfo) {
            lastAddresses = addressesOf(server);
            lastServer = server;
            lastMountInfo = mountInfo;
        }
        return lastAddresses;
    };
}

} // namespace

namespace {

std::mutex mountInfoMutex;
std::function<std::string()> mountInfoSource;

} // namespace

std::string readMountInfo()
{
    {
        const std::lock_guard lock(mountInfoMutex);
        if (mountInfoSource)
            return mountInfoSource();
    }
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return std::move(text).str();
}

void setMountInfoSource(std::function<std::string()> source)
{
    const std::lock_guard lock(mountInfoMutex);
    mountInfoSource = std::move(source);
}

std::optional<std::string> deviceOf(const std::string& path, std::string* why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (why)
            *why = lastSystemErrorText();
        return std::nullopt;
    }
    return std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
}

namespace {

std::string gvfsFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/gvfs";
    return "/run/user/" + std::to_string(::geteuid()) + "/gvfs";
}

// The keys of a gvfs folder name, values unescaped. gvfs escapes ',' and '='
// inside values, so splitting first is safe.
std::map<std::string, std::string> gvfsKeys(std::string_view name)
{
    std::map<std::string, std::string> keys;
    for (const std::string& item : split(name, ',')) {
        const auto equals = item.find('=');
        if (equals == std::string::npos)
            continue;
        keys[item.substr(0, equals)] = percentDecode(std::string_view(item).substr(equals + 1));
    }
    return keys;
}

} // namespace

std::string foldCase(std::string_view text)
{
    // A locale of its own: the program's (Turkish, say) must not change how
    // names compare. Without one, only ASCII letters fold.
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::string result;
    if (!utf8) {
        for (const char c : text)
            result += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return result;
    }
    const locale_t previous = ::uselocale(utf8);
    std::mbstate_t in{};
    std::mbstate_t out{};
    char buffer[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size();) {
        wchar_t code = 0;
        const std::size_t length = std::mbrtowc(&code, text.data() + i, text.size() - i, &in);
        if (length == 0 || length > text.size() - i) {
            // A malformed byte stays as it is.
            result += text[i++];
            in = {};
            continue;
        }
        result.append(buffer, std::wcrtomb(buffer, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(code))), &out));
        i += length;
    }
    ::uselocale(previous);
    return result;
}

std::vector<MountEntry> parseMountInfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    for (const std::string& line : split(text, '\n')) {
        const std::vector<std::string> fields = split(line, ' ');
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin() + std::min<std::size_t>(fields.size(), 6), fields.end(), "-");
        if (fields.size() < 6 || fields.end() - dash < 4)
            continue;
        mounts.push_back({unescapeOctal(fields[4]), fields[5], unescapeOctal(dash[1]), unescapeOctal(dash[2]),
                          unescapeOctal(dash[3]), fields[2]});
    }
    return mounts;
}

std::optional<std::string> findCifsFolder(const ShareAddress& address, const std::vector<MountEntry>& mounts,
                                          const AddressLookup& lookup, unsigned uid)
{
    if (address.port)
        return std::nullopt;
    const std::string share = foldCase(address.share);
    std::optional<std::vector<std::string>> serverAddresses;
    const MountEntry* best = nullptr;
    std::size_t bestDepth = 0;
    int bestRank = -1;
    for (const MountEntry& mount : mounts) {
        if ((mount.fsType != "cifs" && mount.fsType != "smb3") || !mount.source.starts_with("//"))
            continue;
        const std::vector<std::string> parts = split(mount.source, '/');
        if (parts.size() < 2 || foldCase(parts[1]) != share)
            continue;
        const std::size_t depth = parts.size() - 2;
        if (depth > address.folders.size()
            || !std::equal(parts.begin() + 2, parts.end(), address.folders.begin(),
                           [](const std::string& a, const std::string& b) { return foldCase(a) == foldCase(b); }))
            continue;
        if (!sameServer(parts[0], address.server)) {
            if (!serverAddresses) {
                const std::string literal = canonicalAddress(address.server);
                serverAddresses = literal.empty() ? lookup(withoutBrackets(address.server))
                                                  : std::vector<std::string>{literal};
            }
            const std::string mounted = canonicalAddress(option(mount.superOptions, "addr").value_or(""));
            if (mounted.empty()
                || std::find(serverAddresses->begin(), serverAddresses->end(), mounted) == serverAddresses->end())
                continue;
        }
        const int rank = (mount.mountOptions.starts_with("rw") ? 2 : 0)
            + (option(mount.superOptions, "uid") == std::to_string(uid) ? 1 : 0);
        if (!best || depth > bestDepth || (depth == bestDepth && rank > bestRank)) {
            best = &mount;
            bestDepth = depth;
            bestRank = rank;
        }
    }
    if (!best)
        return std::nullopt;
    return joinBelow(best->mountPoint, address.folders, bestDepth);
}

std::optional<std::string> findGvfsFolder(const ShareAddress& address, const std::string& gvfsFolder,
                                          const std::vector<MountEntry>& mounts)
{
    namespace fs = std::filesystem;
    const auto gvfsMount = std::find_if(mounts.begin(), mounts.end(), [&](const MountEntry& mount) {
        return mount.fsType == "fuse.gvfsd-fuse"
            && fs::path(mount.mountPoint).lexically_normal() == fs::path(gvfsFolder).lexically_normal();
    });
    if (gvfsMount == mounts.end())
        return std::nullopt;
    constexpr std::string_view prefix = "smb-share:";
    std::optional<std::string> best;
    int bestRank = -1;
    std::error_code error;
    for (fs::directory_iterator entry(gvfsFolder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!name.starts_with(prefix))
            continue;
        auto keys = gvfsKeys(std::string_view(name).substr(prefix.size()));
        const std::string port = keys.contains("port") ? keys["port"] : std::to_string(kSmbPort);
        if (!sameServer(keys["server"], address.server) || foldCase(keys["share"]) != foldCase(address.share)
            || port != std::to_string(address.port.value_or(kSmbPort)))
            continue;
        const int rank = !keys.contains("user") ? 1 : keys["user"] == address.user ? 2 : 0;
        // The listing's order is the file system's; the name breaks ties.
        if ((rank > bestRank || (rank == bestRank && name < *best))
            && deviceOf(entry->path().string()) == gvfsMount->device) {
            best = name;
            bestRank = rank;
        }
    }
    if (!best)
        return std::nullopt;
    std::vector<std::string> below{*best};
    below.insert(below.end(), address.folders.begin(), address.folders.end());
    return joinBelow(gvfsFolder, below);
}

std::optional<std::string> findSmbnetfsFolder(const ShareAddress& address, const std::vector<MountEntry>& mounts,
                                              unsigned uid, std::vector<std::string>& tried)
{
    // It always connects to port 445: another port would reach another server.
    if (address.port)
        return std::nullopt;
    std::vector<const MountEntry*> candidates;
    for (const MountEntry& mount : mounts) {
        if (mount.fsType == "fuse.smbnetfs")
            candidates.push_back(&mount);
    }
    const std::string owner = std::to_string(uid);
    std::stable_partition(candidates.begin(), candidates.end(),
                          [&](const MountEntry* mount) { return option(mount->superOptions, "user_id") == owner; });
    for (const MountEntry* mount : candidates) {
        std::string why;
        const auto device = deviceOf(mount->mountPoint, &why);
        if (!device) {
            // Without allow_other, another user's mount refuses us.
            tried.push_back("smbnetfs at " + quotedPath(mount->mountPoint) + " (" + why + ")");
            continue;
        }
        if (*device != mount->device) {
            tried.push_back("smbnetfs at " + quotedPath(mount->mountPoint)
                            + " (something else is mounted over it now)");
            continue;
        }
        std::vector<std::string> below{address.server, address.share};
        below.insert(below.end(), address.folders.begin(), address.folders.end());
        return joinBelow(mount->mountPoint, below);
    }
    return std::nullopt;
}

MountLookup findMountedFolder(const ShareAddress& address)
{
    const std::string mountInfo = readMountInfo();
    const std::vector<MountEntry> mounts = parseMountInfo(mountInfo);
    MountLookup lookup;
    lookup.folder = findCifsFolder(address, mounts, rememberingLookup(mountInfo), ::geteuid());
    if (!lookup.folder)
        lookup.folder = findGvfsFolder(address, gvfsFolder(), mounts);
    if (!lookup.folder)
        lookup.folder = findSmbnetfsFolder(address, mounts, ::geteuid(), lookup.tried);
    return lookup;
}

} // namespace platform
