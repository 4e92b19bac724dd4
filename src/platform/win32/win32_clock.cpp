// Local time and the user's date, time and number formats.
#include <charconv>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

namespace {

// The system time for `t`, with the day of the week filled in (a date the
// calendar does not have leaves the answer false).
bool toSystemTime(const platform::DateTime& t, SYSTEMTIME& st) {
    st = SYSTEMTIME{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.millisecond);
    FILETIME ft;
    SYSTEMTIME checked;
    if (!::SystemTimeToFileTime(&st, &ft) || !::FileTimeToSystemTime(&ft, &checked)) return false;
    st.wDayOfWeek = checked.wDayOfWeek;
    return true;
}

// Calls a GetXxxFormatW-style function twice: once for the size, once for the text.
template <typename Call>
std::string formatted(Call call) {
    int n = call(nullptr, 0);
    if (n <= 0) return {};
    std::vector<wchar_t> buf(static_cast<size_t>(n));
    n = call(buf.data(), n);
    if (n <= 0) return {};
    return narrowZ(buf.data());
}

std::wstring localeText(LCTYPE what, const wchar_t* fallback) {
    wchar_t buf[16] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, what, buf, 16) <= 0) return fallback;
    return buf;
}

}  // namespace

platform::DateTime Win32Clock::now() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

std::string Win32Clock::shortDate(const platform::DateTime& t) {
    SYSTEMTIME st;
    if (!toSystemTime(t, st)) return {};
    return formatted([&](wchar_t* buf, int size) {
        return ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, size);
    });
}

std::string Win32Clock::longTime(const platform::DateTime& t) {
    SYSTEMTIME st;
    if (!toSystemTime(t, st)) return {};
    return formatted(
        [&](wchar_t* buf, int size) { return ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, size); });
}

std::string Win32Clock::formatNumber(double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;  // the most the number format takes
    // Plain digits with a "." first, independent of any C locale setting.
    char plain[400];
    auto [end, ec] = std::to_chars(plain, plain + sizeof(plain) - 1, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    *end = '\0';

    std::wstring decimal = localeText(LOCALE_SDECIMAL, L".");
    std::wstring thousand = localeText(LOCALE_STHOUSAND, L",");
    NUMBERFMTW fmt{};
    fmt.NumDigits = static_cast<UINT>(decimals);
    fmt.LeadingZero = 1;
    fmt.Grouping = 3;
    fmt.lpDecimalSep = decimal.data();
    fmt.lpThousandSep = thousand.data();
    fmt.NegativeOrder = 1;
    std::wstring input = widen(plain);
    std::string text = formatted([&](wchar_t* buf, int size) {
        return ::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, input.c_str(), &fmt, buf, size);
    });
    // Infinity and not-a-number have no local form; they keep the plain one.
    return text.empty() ? std::string(plain) : text;
}

}  // namespace vx::win32
