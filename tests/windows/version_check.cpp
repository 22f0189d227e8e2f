// Reads back the version information and the icon of Dozozeda.exe or
// dozozeda-cli.exe (the file DOZOZEDA_EXE names), the way Explorer's
// Properties page, Task Manager and the taskbar do.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

int differences = 0;

// What each program says it is; the rest is the same for both.
struct Program {
    const wchar_t* fileName;
    const wchar_t* description;
    const wchar_t* internalName;
};
constexpr Program kPrograms[] = {
    {L"Dozozeda.exe", L"Dozozeda", L"Dozozeda"},
    {L"dozozeda-cli.exe", L"Dozozeda command line", L"dozozeda-cli"},
};

void expect(bool holds, const char* otherwise)
{
    if (!holds) {
        std::printf("%s\n", otherwise);
        ++differences;
    }
}

// Every node of the version block is its length, its value's length (in
// characters for text, type 1), its type, its key, then the value and the
// children, each aligned to 4 bytes. Strings sit three levels down:
// StringFileInfo, table, name.
void collectStrings(const BYTE* base, const BYTE* node, const std::wstring& path, int depth,
                    std::map<std::wstring, std::wstring>& strings)
{
    const auto* words = reinterpret_cast<const WORD*>(node);
    const std::wstring key = reinterpret_cast<const wchar_t*>(words + 3);
    const std::wstring name = path + L"\\" + key;
    const auto align = [base](const BYTE* at) { return base + ((at - base + 3) & ~3); };
    const BYTE* value = align(node + 6 + (key.size() + 1) * 2);
    if (depth == 3) {
        const auto* text = reinterpret_cast<const wchar_t*>(value);
        strings[name] = std::wstring(text, wcsnlen(text, words[1]));
        return;
    }
    const BYTE* end = node + words[0];
    for (const BYTE* child = align(value + (words[2] == 1 ? words[1] * 2 : words[1])); child + 6 <= end;) {
        const WORD length = *reinterpret_cast<const WORD*>(child);
        if (length == 0)
            break;
        collectStrings(base, child, name, depth + 1, strings);
        child = align(child + length);
    }
}

void checkVersionInformation(const std::wstring& exe, const Program& program)
{
    DWORD ignored = 0;
    std::vector<BYTE> data(::GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    if (data.empty() || !::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()))
        return expect(false, "no version information to read");

    const DWORD high = MAKELONG(DOZOZEDA_VERSION_MINOR, DOZOZEDA_VERSION_MAJOR);
    const DWORD low = MAKELONG(DOZOZEDA_VERSION_TWEAK, DOZOZEDA_VERSION_PATCH);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    const bool hasFixed = ::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)
        && length >= sizeof *fixed && fixed->dwSignature == VS_FFI_SIGNATURE;
    expect(hasFixed && fixed->dwFileVersionMS == high && fixed->dwFileVersionLS == low
               && fixed->dwProductVersionMS == high && fixed->dwProductVersionLS == low,
           "FILEVERSION or PRODUCTVERSION is not the project's version");
    expect(hasFixed && fixed->dwFileType == VFT_APP, "FILETYPE is not VFT_APP");

    WORD* translation = nullptr;
    expect(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
               && length == 4 && translation[0] == 0x0409 && translation[1] == 1200,
           "the translation is not exactly 0x0409 (US English), code page 1200 (Unicode)");

    // Explorer shows every string there is, so there must be no others.
    wchar_t version[32];
    std::swprintf(version, 32, L"%d.%02d.%04d", DOZOZEDA_VERSION_MAJOR, DOZOZEDA_VERSION_MINOR, DOZOZEDA_VERSION_TWEAK);
    const std::wstring table = L"\\VS_VERSION_INFO\\StringFileInfo\\040904B0\\";
    const std::map<std::wstring, std::wstring> expected = {
        {table + L"ProductName", L"Dozozeda"},
        {table + L"FileDescription", program.description},
        {table + L"FileVersion", version},
        {table + L"ProductVersion", version},
        {table + L"InternalName", program.internalName},
        {table + L"OriginalFilename", program.fileName},
    };
    std::map<std::wstring, std::wstring> strings;
    collectStrings(data.data(), data.data(), L"", 0, strings);
    expect(strings == expected, "the strings differ; they are:");
    if (strings != expected) {
        for (const auto& [name, value] : strings)
            std::printf("  %ls = \"%ls\"\n", name.c_str(), value.c_str());
    }
}

void checkIcon(const std::wstring& exe)
{
    const HMODULE program
        = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!program)
        return expect(false, "the program cannot be opened for its resources");
    // Explorer shows the first icon group; the window icon loads id 1.
    std::vector<ULONG_PTR> groups;
    ::EnumResourceNamesW(
        program, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
            reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(
                IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&groups));
    expect(groups == std::vector<ULONG_PTR>{1}, "the icon is not the one icon group, with id 1");

    const HANDLE icon = ::LoadImageW(program, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0);
    expect(icon, "icon 1 does not load at 32x32");
    if (icon)
        ::DestroyIcon(static_cast<HICON>(icon));
    ::FreeLibrary(program);
}

} // namespace

int main()
{
    std::wstring exe(32768, L'\0');
    exe.resize(::GetEnvironmentVariableW(L"DOZOZEDA_EXE", exe.data(), static_cast<DWORD>(exe.size())));
    if (exe.empty()) {
        std::printf("DOZOZEDA_EXE names no program\n");
        return 1;
    }
    const std::wstring fileName = exe.substr(exe.find_last_of(L"/\\") + 1);
    const Program* program = nullptr;
    for (const Program& candidate : kPrograms) {
        if (fileName == candidate.fileName)
            program = &candidate;
    }
    if (!program) {
        std::printf("%ls is none of the programs\n", fileName.c_str());
        return 1;
    }
    checkVersionInformation(exe, *program);
    checkIcon(exe);
    if (differences == 0)
        std::printf("%ls: version information and icon as expected\n", fileName.c_str());
    return differences == 0 ? 0 : 1;
}
