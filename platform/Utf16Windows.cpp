#include "Utf16.h"

#include "PlatformError.h"

#include <windows.h>

namespace platform {

std::wstring widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::wstring systemPath(const std::string& path)
{
    refuseNul(path);
    return widen(path);
}

std::string narrow(const wchar_t* text, std::size_t size)
{
    if (size == 0)
        return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), result.data(), length, nullptr, nullptr);
    return result;
}

} // namespace platform
