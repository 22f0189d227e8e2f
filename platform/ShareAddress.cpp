#include "ShareAddress.h"

#include "Paths.h"
#include "PlatformError.h"

#ifndef _WIN32
#include "ShareMounts.h"
#endif

#include <algorithm>
#include <cctype>
#include <charconv>

namespace platform {

namespace {

const std::string kExample = "\\\\server\\share\\folder or smb://server/share/folder";

constexpr std::string_view kScheme = "smb:";

bool hasSchemeAt(std::string_view text, std::size_t at)
{
    if (text.size() - at < kScheme.size())
        return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != kScheme[i])
            return false;
    }
    return true;
}

bool startsWithSmbScheme(std::string_view path)
{
    return path.size() >= kScheme.size() + 2 && hasSchemeAt(path, 0) && isSeparator(path[kScheme.size()])
        && isSeparator(path[kScheme.size() + 1]);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string percentDecode(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            result += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

namespace {

// Where the password of the address whose server part starts at
// `authority` ends: at the last '@' before the next address in the text, so
// that a password holding a separator or an '@' of its own stays out
// whole. Nothing when the address has no password: no ':' in the server
// part (outside an IPv6 address's brackets), or no '@' after it (a port).
std::optional<std::pair<std::size_t, std::size_t>> passwordSpan(std::string_view text, std::size_t authority)
{
    std::size_t colon = authority;
    while (colon < text.size() && !isSeparator(text[colon]) && text[colon] != ':' && text[colon] != '[')
        ++colon;
    if (colon == text.size() || text[colon] != ':')
        return std::nullopt;
    std::size_t next = colon + 1;
    while (next < text.size() && !hasSchemeAt(text, next))
        ++next;
    const std::size_t at = text.substr(0, next).rfind('@');
    if (at == std::string_view::npos || at < colon)
        return std::nullopt;
    return std::pair{colon, at};
}

// Where the server part of the smb: address at `scheme` starts: after the
// scheme and the separators, one or two of either kind.
std::size_t authorityAt(std::string_view text, std::size_t scheme)
{
    std::size_t authority = scheme + kScheme.size();
    while (authority < text.size() && isSeparator(text[authority]))
        ++authority;
    return authority;
}

} // namespace

std::vector<std::pair<std::size_t, std::size_t>> passwordSpans(std::string_view text)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    // Spaces before it, one separator or two, either kind: a path that
    // missed the address parser on its way to an error message still
    // carries the password.
    for (std::size_t i = 0; i < text.size();) {
        if (!hasSchemeAt(text, i)) {
            ++i;
            continue;
        }
        i = authorityAt(text, i);
        if (const auto password = passwordSpan(text, i)) {
            spans.push_back(*password);
            i = password->second;
        }
    }
    return spans;
}

std::string withoutPassword(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::size_t kept = 0;
    for (const auto& [first, last] : passwordSpans(text)) {
        result.append(text.substr(kept, first - kept));
        kept = last;
    }
    return result.append(text.substr(kept));
}

namespace {

// Unreserved characters and UTF-8 stay; everything a shell or a URI parser
// could read differently is escaped.
std::string percentEncode(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || byte >= 0x80 || c == '-' || c == '.' || c == '_' || c == '~') {
            result += c;
        } else {
            result += '%';
            result += hex[byte >> 4];
            result += hex[byte & 0xF];
        }
    }
    return result;
}

std::vector<std::string_view> splitOnSeparators(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isSeparator(text[i])) {
            if (i > start)
                parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

[[noreturn]] void throwIncomplete(std::string_view typed, const std::string& what)
{
    throw Error("Cannot use " + quotedPath(typed) + " as a share: " + what + "; write it as " + kExample);
}

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// A decoded name must stay one name: an escaped separator would split it
// again on the way to the mount, and a NUL would cut the path short.
void checkName(std::string_view typed, std::string_view part, const std::string& name)
{
    if (std::any_of(name.begin(), name.end(), isSeparator))
        throwIncomplete(typed, "the name '" + std::string(part) + "' holds an escaped separator");
    if (std::any_of(name.begin(), name.end(), isControl))
        throwIncomplete(typed, "the name '" + std::string(part) + "' holds a control character");
}

// The mount holds one folder per server and share: ".." there would climb out of it.
void checkServerOrShare(std::string_view typed, std::string_view part, const std::string& name, const char* what)
{
    if (name.empty())
        throwIncomplete(typed, std::string("it names no ") + what);
    checkName(typed, part, name);
    if (name == "." || name == "..")
        throwIncomplete(typed, "'" + name + "' cannot name a " + what);
}

bool isHostCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    // Bytes from 0x80 up: a name in UTF-8, as internationalised names are.
    return std::isalnum(byte) || c == '-' || c == '_' || byte >= 0x80;
}

// A host name (labels joined by single dots) or an IP address, IPv6 in
// brackets. Nothing else may stand there: Windows reads "\\?\" and
// "\\.\" as the local machine's device and long-path namespaces, so a
// server '?' would turn a share into a local drive.
bool isHostOrAddress(std::string_view server)
{
    if (server.starts_with('[')) {
        if (server.size() < 4 || !server.ends_with(']'))
            return false;
        const std::string_view inside = server.substr(1, server.size() - 2);
        const auto zone = inside.find('%');
        const std::string_view address = inside.substr(0, zone);
        if (address.find(':') == std::string_view::npos
            || !std::all_of(address.begin(), address.end(),
                            [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; }))
            return false;
        return zone == std::string_view::npos
            || (zone + 1 < inside.size()
                && std::all_of(inside.begin() + static_cast<std::ptrdiff_t>(zone) + 1, inside.end(), isHostCharacter));
    }
    std::size_t label = 0;
    for (std::size_t i = 0; i <= server.size(); ++i) {
        if (i == server.size() || server[i] == '.') {
            if (i == label)
                return false;
            label = i + 1;
        } else if (!isHostCharacter(server[i])) {
            return false;
        }
    }
    return true;
}

void checkServer(std::string_view typed, std::string_view part, const std::string& name)
{
    checkServerOrShare(typed, part, name, "server");
    if (!isHostOrAddress(name))
        throwIncomplete(typed, "the server '" + std::string(part) + "' is neither a host name nor an IP address");
}

// Fills in share and folders from the components after the server.
void takeSharePath(ShareAddress& address, const std::vector<std::string_view>& parts, bool decode, std::string_view typed)
{
    if (parts.empty())
        throwIncomplete(typed, "it names no share");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string name = decode ? percentDecode(parts[i]) : std::string(parts[i]);
        if (i == 0) {
            checkServerOrShare(typed, parts[i], name, "share");
            address.share = std::move(name);
            continue;
        }
        checkName(typed, parts[i], name);
        if (name == "..") {
            if (!address.folders.empty())
                address.folders.pop_back();
        } else if (name != ".") {
            address.folders.push_back(std::move(name));
        }
    }
}

ShareAddress parseUrl(std::string_view path)
{
    const std::string_view rest = path.substr(std::string_view("smb://").size());
    const auto authorityEnd = std::find_if(rest.begin(), rest.end(), isSeparator);
    std::string_view authority(rest.begin(), authorityEnd);
    ShareAddress address;
    address.typedAsUrl = true;

    // "smb://alice:pa/ss@nas": the password holds a separator, and nothing
    // tells it from a port followed by a folder holding an '@'. Guessing
    // either way could send the copy to a server named by part of a
    // password, so the address is refused, quoted without all of it.
    const std::size_t serverPartEnd = path.size() - static_cast<std::size_t>(rest.end() - authorityEnd);
    if (const auto password = passwordSpan(path, authorityAt(path, 0)); password && password->second >= serverPartEnd)
        throwIncomplete(path, "a ':' in its server part is followed by an '@' further on, so a password may hold a "
                              "separator; leave the password out (it is never used: Dozozeda does not mount "
                              "shares), or write an '@' in a folder name as %40");

    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view userInfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        // A password typed into the address is dropped: it is never shown.
        userInfo = userInfo.substr(0, userInfo.find(':'));
        if (const auto semicolon = userInfo.find(';'); semicolon != std::string_view::npos)
            userInfo.remove_prefix(semicolon + 1);
        address.user = percentDecode(userInfo);
    }

    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            throwIncomplete(path, "the IPv6 address has no closing ']'");
        host = authority.substr(0, close + 1);
        port = authority.substr(close + 1);
        if (!port.empty() && !port.starts_with(':'))
            throwIncomplete(path, "'" + std::string(port) + "' follows the IPv6 address");
    } else if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon);
    }
    if (port.starts_with(':'))
        port.remove_prefix(1);
    if (!port.empty()) {
        unsigned number = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc() || end != port.data() + port.size() || number == 0 || number > 65535)
            throwIncomplete(path, "the port '" + std::string(port) + "' is not a number from 1 to 65535");
        if (number != kSmbPort)
            address.port = number;
    }
    address.server = percentDecode(host);
    checkServer(path, host, address.server);

    takeSharePath(address, splitOnSeparators(std::string_view(authorityEnd, rest.end())), true, path);
    return address;
}

ShareAddress parseUnc(std::string_view path)
{
    const auto parts = splitOnSeparators(path);
    ShareAddress address;
    address.server = std::string(parts.front());
    checkServer(path, parts.front(), address.server);
    takeSharePath(address, {parts.begin() + 1, parts.end()}, false, path);
    return address;
}

// Windows writes an IPv6 address in a UNC path as a name: fe80::1%4 becomes
// fe80--1s4.ipv6-literal.net.
std::string uncServer(const std::string& server)
{
    if (!server.starts_with('['))
        return server;
    std::string name = server.substr(1, server.size() - 2);
    std::replace(name.begin(), name.end(), ':', '-');
    std::replace(name.begin(), name.end(), '%', 's');
    return name + ".ipv6-literal.net";
}

} // namespace

std::string ShareAddress::shareName() const
{
    return typedAsUrl ? shareUri() : "\\\\" + server + "\\" + share;
}

std::string ShareAddress::shareUri() const
{
    std::string uri = "smb://";
    if (!user.empty())
        uri += percentEncode(user) + "@";
    uri += server.starts_with('[') ? server : percentEncode(server);
    if (port)
        uri += ":" + std::to_string(*port);
    return uri + "/" + percentEncode(share);
}

std::optional<ShareAddress> parseShareAddress(std::string_view path)
{
    if (startsWithSmbScheme(path))
        return parseUrl(path);
    const bool twoLeadingSeparators = path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])
        && (path.size() == 2 || !isSeparator(path[2]));
    if (!twoLeadingSeparators)
        return std::nullopt;
    if (path.size() == 2)
        throwIncomplete(path, "it names no server");
    return parseUnc(path);
}

std::string uncPath(const ShareAddress& address)
{
    if (address.port)
        throw Error("Cannot reach " + address.shareName() + " through a Windows share path: it cannot name port "
                    + std::to_string(*address.port) + ", only the standard port 445");
    std::string path = "\\\\" + uncServer(address.server) + "\\" + address.share;
    for (const std::string& folder : address.folders)
        path += "\\" + folder;
    return path;
}

ResolvedPath resolvePath(std::string_view path)
{
#ifdef _WIN32
    // Windows reaches \\server\share itself; only smb:// needs translating.
    if (!startsWithSmbScheme(path))
        return ResolvedPath::fromSystem(normalizeWindowsPath(path));
    return ResolvedPath::fromSystem(uncPath(parseUrl(path)));
#else
    const auto address = parseShareAddress(path);
    // Anything else is a local path, and a backslash in it part of a name.
    if (!address)
        return ResolvedPath::fromSystem(std::string(path));
    MountLookup lookup = findMountedFolder(*address);
    if (lookup.folder)
        return ResolvedPath::fromSystem(*std::move(lookup.folder));
    const std::string uri = address->shareUri();
    std::string message = address->shareName() + " is not mounted. Open " + (address->typedAsUrl ? "it" : uri)
        + " in the file manager (or run: gio mount " + uri + "), then try again.";
    for (const std::string& tried : lookup.tried)
        message += "\nTried " + tried + ".";
    throw ShareNotMounted(message);
#endif
}

} // namespace platform
