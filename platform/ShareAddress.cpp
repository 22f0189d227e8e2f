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

std::string withoutPassword(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (!hasSchemeAt(text, i)) {
            result += text[i++];
            continue;
        }
        // Spaces before it, one separator or two, either kind: a path that
        // missed the address parser on its way to an error message still
        // carries the password.
        std::size_t authority = i + kScheme.size();
        while (authority < text.size() && isSeparator(text[authority]))
            ++authority;
        std::size_t end = authority;
        while (end < text.size() && !isSeparator(text[end]))
            ++end;
        result.append(text.substr(i, authority - i));
        const std::string_view host = text.substr(authority, end - authority);
        // As the parser reads it: the user-info ends at the last '@'.
        const auto at = host.rfind('@');
        const auto colon = at == std::string_view::npos ? at : host.substr(0, at).find(':');
        if (colon == std::string_view::npos) {
            result.append(host);
        } else {
            result.append(host.substr(0, colon));
            result.append(host.substr(at));
        }
        i = end;
    }
    return result;
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
    checkServerOrShare(path, host, address.server, "server");

    takeSharePath(address, splitOnSeparators(std::string_view(authorityEnd, rest.end())), true, path);
    return address;
}

ShareAddress parseUnc(std::string_view path)
{
    const auto parts = splitOnSeparators(path);
    ShareAddress address;
    address.server = std::string(parts.front());
    checkServerOrShare(path, parts.front(), address.server, "server");
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

std::string resolvePath(std::string_view path)
{
#ifdef _WIN32
    // Windows reaches \\server\share itself; only smb:// needs translating.
    if (!startsWithSmbScheme(path))
        return normalizePath(path);
    return uncPath(parseUrl(path));
#else
    const auto address = parseShareAddress(path);
    if (!address)
        return normalizePath(path);
    if (auto folder = findMountedFolder(*address))
        return *std::move(folder);
    const std::string uri = address->shareUri();
    throw ShareNotMounted(address->shareName() + " is not mounted. Open " + (address->typedAsUrl ? "it" : uri)
                          + " in the file manager (or run: gio mount " + uri + "), then try again.");
#endif
}

} // namespace platform
