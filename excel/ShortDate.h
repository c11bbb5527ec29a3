// The text of an automation date as the user's system writes a short date.
#pragma once

#include <locale>
#include <optional>
#include <string>
#include <string_view>

namespace velloquin::excel {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay, YearDayMonth };

// The day/month/year order that a locale writes dates in: what its time_get
// facet says, else what its "%x" format makes of a probe date; nullopt when
// neither tells.
std::optional<DateOrder> LocaleDateOrder(const std::locale& locale);
// The order found in a date written for 22 November 2033 (for instance
// "22.11.2033", "2033-11-22" or "11/22/33"); nullopt when it cannot be told.
std::optional<DateOrder> DateOrderFromSample(std::string_view sample);

// Day, month and a four-digit year in the given order, joined by "/".
std::string FormatShortDate(int year, int month, int day, DateOrder order);

// The short-date text of the date's day: on Windows the user's short-date
// setting, elsewhere the order of the user's locale (M/D/YYYY when it gives
// none). Empty for the date 0 (no date) and for a date outside the years
// 100 to 9999.
std::string ShortDateText(double serial);
// The same with the order of the given locale (not used on Windows).
std::string ShortDateText(double serial, const std::locale& locale);

// The number format that shows a date cell the way ShortDateText writes the
// date ("m/d/yyyy" in the user's order of day, month and year). Empty on
// Windows, where the built-in short-date format (14) follows the user's
// setting by itself.
std::string ShortDateFormatCode();

// The text that a date becomes in a text cell: the short date, then the time
// of day when it is not midnight; a date whose day part is 0 (30 December
// 1899) gives the time alone. nullopt for a date outside the years 100 to 9999.
std::optional<std::string> DateValueText(double serial);

} // namespace velloquin::excel
