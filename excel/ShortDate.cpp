#include "excel/ShortDate.h"
#include "platform/Locale.h"

#include <array>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <sstream>

namespace velloquin::excel {

namespace {

// Automation dates that name a day of the years 100 to 9999.
constexpr double kFirstSerial = -657434; // 1 January 100
constexpr double kLastSerial = 2958465;  // 31 December 9999

struct DateTimeParts {
    int year, month, day;
    int seconds; // of the day, 0 to 86399
    bool noDay;  // the day part is 30 December 1899, which stands for "time only"
};

// The day part counts toward zero from 30 December 1899; the fraction is the
// time of day whatever the sign, rounded to the second.
std::optional<DateTimeParts> SplitSerial(double serial) {
    if (!std::isfinite(serial)) return std::nullopt;
    double day = std::trunc(serial);
    auto seconds = static_cast<long long>(std::llround(std::fabs(serial - day) * 86400.0));
    if (seconds >= 86400) {
        seconds = 0;
        day += serial < 0 ? -1 : 1;
    }
    if (day < kFirstSerial || day > kLastSerial) return std::nullopt;
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    long long z = static_cast<long long>(day) - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    return DateTimeParts{y, m, d, static_cast<int>(seconds), day == 0};
}

std::string TimeText(int seconds) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return buffer.data();
}

std::optional<DateOrder> FromFacet(std::time_base::dateorder order) {
    switch (order) {
    case std::time_base::mdy:
        return DateOrder::MonthDayYear;
    case std::time_base::dmy:
        return DateOrder::DayMonthYear;
    case std::time_base::ymd:
        return DateOrder::YearMonthDay;
    case std::time_base::ydm:
        return DateOrder::YearDayMonth;
    default:
        return std::nullopt;
    }
}

// Asked once: the user's locale does not change while the program runs, and
// building it is far too slow to do per cell.
DateOrder UserDateOrder() {
    static const DateOrder order = [] {
        try {
            return LocaleDateOrder(std::locale("")).value_or(DateOrder::MonthDayYear);
        } catch (const std::exception&) {
            // An environment naming a locale that is not installed.
            return DateOrder::MonthDayYear;
        }
    }();
    return order;
}

std::string PlatformShortDate(const DateTimeParts& parts) {
    if (!platform::HasShortDateSetting())
        return FormatShortDate(parts.year, parts.month, parts.day, UserDateOrder());
    if (auto text = platform::SystemShortDate(parts.year, parts.month, parts.day)) return *text;
    // Days the system cannot write take the portable form.
    return FormatShortDate(parts.year, parts.month, parts.day, DateOrder::MonthDayYear);
}

} // namespace

std::optional<DateOrder> DateOrderFromSample(std::string_view sample) {
    size_t year = sample.find("2033");
    if (year == std::string_view::npos) year = sample.find("33");
    const size_t month = sample.find("11");
    const size_t day = sample.find("22");
    if (year == std::string_view::npos || month == std::string_view::npos ||
        day == std::string_view::npos) {
        return std::nullopt;
    }
    if (month < day && day < year) return DateOrder::MonthDayYear;
    if (day < month && month < year) return DateOrder::DayMonthYear;
    if (year < month && month < day) return DateOrder::YearMonthDay;
    if (year < day && day < month) return DateOrder::YearDayMonth;
    return std::nullopt;
}

std::optional<DateOrder> LocaleDateOrder(const std::locale& locale) {
    try {
        if (auto order = FromFacet(std::use_facet<std::time_get<char>>(locale).date_order())) {
            return order;
        }
        // Some standard libraries never tell the order; the locale's own date
        // format still shows it.
        std::tm probe{};
        probe.tm_year = 2033 - 1900;
        probe.tm_mon = 10;
        probe.tm_mday = 22;
        std::ostringstream text;
        text.imbue(locale);
        text << std::put_time(&probe, "%x");
        return DateOrderFromSample(text.str());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string FormatShortDate(int year, int month, int day, DateOrder order) {
    std::array<char, 32> buffer{};
    const char* format = "%d/%d/%04d";
    int first = month, second = day, third = year;
    switch (order) {
    case DateOrder::MonthDayYear:
        break;
    case DateOrder::DayMonthYear:
        first = day;
        second = month;
        break;
    case DateOrder::YearMonthDay:
        format = "%04d/%d/%d";
        first = year;
        second = month;
        third = day;
        break;
    case DateOrder::YearDayMonth:
        format = "%04d/%d/%d";
        first = year;
        second = day;
        third = month;
        break;
    }
    std::snprintf(buffer.data(), buffer.size(), format, first, second, third);
    return buffer.data();
}

std::string ShortDateText(double serial) {
    if (serial == 0) return {};
    const auto parts = SplitSerial(serial);
    return parts ? PlatformShortDate(*parts) : std::string();
}

std::string ShortDateText(double serial, const std::locale& locale) {
    if (serial == 0) return {};
    const auto parts = SplitSerial(serial);
    if (!parts) return {};
    return FormatShortDate(parts->year, parts->month, parts->day,
                           LocaleDateOrder(locale).value_or(DateOrder::MonthDayYear));
}

std::string ShortDateFormatCode() {
    if (platform::HasShortDateSetting()) return {};
    switch (UserDateOrder()) {
    case DateOrder::MonthDayYear:
        return "m/d/yyyy";
    case DateOrder::DayMonthYear:
        return "d/m/yyyy";
    case DateOrder::YearMonthDay:
        return "yyyy/m/d";
    case DateOrder::YearDayMonth:
        return "yyyy/d/m";
    }
    return "m/d/yyyy";
}

std::optional<std::string> DateValueText(double serial) {
    const auto parts = SplitSerial(serial);
    if (!parts) return std::nullopt;
    if (parts->noDay) return TimeText(parts->seconds);
    std::string text = PlatformShortDate(*parts);
    if (parts->seconds != 0) text += " " + TimeText(parts->seconds);
    return text;
}

} // namespace velloquin::excel
