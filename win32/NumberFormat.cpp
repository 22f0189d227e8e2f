#include "NumberFormat.h"

#include "Text.h"

#include <windows.h>

#include <charconv>
#include <system_error>

namespace win32layer {

namespace {

std::wstring localeText(const wchar_t* locale, LCTYPE type)
{
    wchar_t buffer[16] = {};
    const int length = ::GetLocaleInfoEx(locale, type, buffer, 16);
    return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length - 1)) : std::wstring();
}

UINT localeNumber(const wchar_t* locale, LCTYPE type)
{
    DWORD value = 0;
    ::GetLocaleInfoEx(locale, type | LOCALE_RETURN_NUMBER, reinterpret_cast<wchar_t*>(&value),
                      sizeof value / sizeof(wchar_t));
    return value;
}

// SGROUPING lists group sizes from the decimal separator leftwards; a final
// ";0" repeats the last size. NUMBERFMT wants the sizes as decimal digits,
// where repetition is the default and a final 0 stops it: "3;0" is 3,
// "3;2;0" is 32, "3" alone is 30.
UINT grouping(const std::wstring& text)
{
    std::wstring digits;
    for (const wchar_t c : text) {
        if (c >= L'0' && c <= L'9')
            digits += c;
    }
    const bool repeats = text.size() >= 2 && text.compare(text.size() - 2, 2, L";0") == 0;
    if (repeats)
        digits.pop_back();
    else
        digits += L'0';
    UINT value = 0;
    for (const wchar_t c : digits)
        value = value * 10 + static_cast<UINT>(c - L'0');
    return value;
}

} // namespace

std::string formatNumber(double value, int decimals, const std::string& localeName)
{
    char digits[400];
    const auto written = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (written.ec != std::errc())
        return std::to_string(value);
    const std::string plain(digits, written.ptr);

    const std::wstring name = toUtf16(localeName);
    const wchar_t* locale = name.empty() ? LOCALE_NAME_USER_DEFAULT : name.c_str();
    std::wstring decimalSeparator = localeText(locale, LOCALE_SDECIMAL);
    std::wstring thousandSeparator = localeText(locale, LOCALE_STHOUSAND);
    // Wine 8 applies a locale's own grouping only once ("10485,760.00"), so
    // the format is always spelled out.
    NUMBERFMTW format{};
    format.NumDigits = static_cast<UINT>(decimals);
    format.LeadingZero = localeNumber(locale, LOCALE_ILZERO);
    format.Grouping = grouping(localeText(locale, LOCALE_SGROUPING));
    format.lpDecimalSep = decimalSeparator.data();
    format.lpThousandSep = thousandSeparator.data();
    format.NegativeOrder = localeNumber(locale, LOCALE_INEGNUMBER);

    const std::wstring number = toUtf16(plain);
    wchar_t formatted[512];
    if (::GetNumberFormatEx(locale, 0, number.c_str(), &format, formatted, 512) == 0)
        return plain;
    return toUtf8(formatted);
}

} // namespace win32layer
