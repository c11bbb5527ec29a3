#include "platform/Locale.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>

namespace velloquin::platform {

bool HasShortDateSetting() {
    return true;
}

std::optional<std::string> SystemShortDate(int year, int month, int day) {
    // SYSTEMTIME starts at 1601.
    if (year < 1601) return std::nullopt;
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    std::array<wchar_t, 128> wide{};
    const int wideLength = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr,
                                          wide.data(), static_cast<int>(wide.size()));
    if (wideLength <= 1) return std::nullopt;
    std::array<char, 512> utf8{};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength - 1, utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, nullptr);
    if (length <= 0) return std::nullopt;
    return std::string(utf8.data(), static_cast<size_t>(length));
}

std::tm LocalTime(std::time_t moment) {
    std::tm local{};
    localtime_s(&local, &moment);
    return local;
}

std::string ForSystemEditor(std::string text) {
    std::string crlf = "\xEF\xBB\xBF";
    crlf.reserve(text.size() + text.size() / 16 + 3);
    for (const char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

} // namespace velloquin::platform
