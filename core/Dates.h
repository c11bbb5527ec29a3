// Automation dates: days since 30 December 1899, time of day as fraction.
#pragma once

#include <optional>

namespace velloquin {

// The day number of a valid calendar date; nullopt for an invalid one.
std::optional<double> DateSerial(int year, int month, int day);

struct CivilDate {
    int year;
    int month;
    int day;
};
// The calendar date of an automation date's day part.
CivilDate CivilFromSerial(double serial);

} // namespace velloquin
