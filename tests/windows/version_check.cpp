// Reads back the version information and the icon that resources/dozozeda.rc
// links into a program, the way Explorer's Properties page and the taskbar do.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

int differences = 0;

void differs(const std::string& what)
{
    std::printf("%s\n", what.c_str());
    ++differences;
}

std::string utf8(const std::wstring& text)
{
    std::string result(text.size() * 3, '\0');
    result.resize(static_cast<std::size_t>(::WideCharToMultiByte(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), static_cast<int>(result.size()), nullptr, nullptr)));
    return result;
}

std::string versionText(DWORD high, DWORD low)
{
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "."
        + std::to_string(LOWORD(low));
}

// One node of the version block: length, value length, type, key, value, children.
struct Node {
    const BYTE* start;
    WORD length;
    std::wstring key;
    const BYTE* children;
};

std::size_t alignUp(std::size_t offset)
{
    return (offset + 3) & ~std::size_t{3};
}

Node readNode(const BYTE* base, const BYTE* at)
{
    const auto* words = reinterpret_cast<const WORD*>(at);
    Node node{at, words[0], reinterpret_cast<const wchar_t*>(words + 3), nullptr};
    const std::size_t keyEnd = static_cast<std::size_t>(at - base) + 6 + (node.key.size() + 1) * 2;
    // A text value counts characters, a binary one bytes.
    const std::size_t valueBytes = words[2] == 1 ? words[1] * 2u : words[1];
    node.children = base + alignUp(alignUp(keyEnd) + valueBytes);
    return node;
}

std::vector<Node> childrenOf(const BYTE* base, const Node& parent)
{
    std::vector<Node> result;
    const BYTE* end = parent.start + parent.length;
    for (const BYTE* at = parent.children; at + 6 <= end;) {
        const Node child = readNode(base, at);
        if (child.length == 0)
            break;
        result.push_back(child);
        at = base + alignUp(static_cast<std::size_t>(at - base) + child.length);
    }
    return result;
}

void checkVersionInformation(const std::wstring& exe)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0) {
        differs("no version information at all");
        return;
    }
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(exe.c_str(), 0, size, data.data())) {
        differs("the version information cannot be read");
        return;
    }

    const std::string version = std::to_string(DOZOZEDA_VERSION_MAJOR) + "." + std::to_string(DOZOZEDA_VERSION_MINOR)
        + "." + std::to_string(DOZOZEDA_VERSION_PATCH) + "." + std::to_string(DOZOZEDA_VERSION_TWEAK);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed
        || fixed->dwSignature != VS_FFI_SIGNATURE) {
        differs("no fixed file information");
    } else {
        if (versionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS) != version)
            differs("FILEVERSION is " + versionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + ", not " + version);
        if (versionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS) != version)
            differs("PRODUCTVERSION is " + versionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + ", not "
                    + version);
        if (fixed->dwFileType != VFT_APP)
            differs("FILETYPE is " + std::to_string(fixed->dwFileType) + ", not VFT_APP");
    }

    WORD* translation = nullptr;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
        || length != 4 || translation[0] != 0x0409 || translation[1] != 1200)
        differs("the translation is not exactly 0x0409 (US English), code page 1200 (Unicode)");

    // Explorer shows every string there is, so there must be no others.
    const std::wstring table = L"040904b0";
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d.%04d", DOZOZEDA_VERSION_MAJOR, DOZOZEDA_VERSION_MINOR, DOZOZEDA_VERSION_TWEAK);
    const std::vector<std::pair<std::wstring, std::string>> expected = {
        {L"ProductName", "Dozozeda"},       {L"FileVersion", text},          {L"ProductVersion", text},
        {L"InternalName", "Dozozeda"},      {L"OriginalFilename", "Dozozeda.exe"},
    };
    for (const auto& [name, value] : expected) {
        wchar_t* found = nullptr;
        const std::wstring query = L"\\StringFileInfo\\" + table + L"\\" + name;
        if (!::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&found), &length)
            || length == 0)
            differs(utf8(name) + " is missing");
        else if (utf8(found) != value)
            differs(utf8(name) + " is \"" + utf8(found) + "\", not \"" + value + "\"");
    }

    std::set<std::wstring> wanted;
    for (const auto& entry : expected)
        wanted.insert(entry.first);
    const BYTE* base = data.data();
    for (const Node& section : childrenOf(base, readNode(base, base))) {
        if (section.key != L"StringFileInfo")
            continue;
        for (const Node& strings : childrenOf(base, section)) {
            if (_wcsicmp(strings.key.c_str(), table.c_str()) != 0)
                differs("an extra string table " + utf8(strings.key));
            for (const Node& string : childrenOf(base, strings)) {
                if (!wanted.count(string.key))
                    differs("an extra string " + utf8(string.key));
            }
        }
    }
}

void checkIcon()
{
    const HMODULE self = ::GetModuleHandleW(nullptr);
    // Explorer shows the first icon group; the window icon loads id 1.
    std::vector<ULONG_PTR> groups;
    ::EnumResourceNamesW(
        self, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
            reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(
                IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&groups));
    if (groups.size() != 1 || groups[0] != 1)
        differs("the icon is not the one icon group, with id 1");

    const HANDLE icon = ::LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0);
    if (!icon)
        differs("icon 1 does not load at 32x32");
    else
        ::DestroyIcon(static_cast<HICON>(icon));
}

} // namespace

int main()
{
    std::wstring exe(32768, L'\0');
    exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    checkVersionInformation(exe);
    checkIcon();
    if (differences == 0)
        std::printf("version information and icon as expected\n");
    return differences == 0 ? 0 : 1;
}
