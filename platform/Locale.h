// What the user's system says about writing dates, times and text files.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace velloquin::platform {

// True where the system has a short-date setting of its own that spreadsheet
// programs follow (Windows' regional settings); elsewhere the C++ locale's
// date order stands in.
bool HasShortDateSetting();
// The day written as the user's short-date setting has it; nullopt where
// there is no such setting or the system cannot write that day.
std::optional<std::string> SystemShortDate(int year, int month, int day);

// The local calendar time of a moment.
std::tm LocalTime(std::time_t moment);

// The system's path separator.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// UTF-8 text as the system's own text editor reads it best: on Windows with a
// byte-order mark and CR LF line ends (older Notepads need both), elsewhere
// unchanged.
std::string ForSystemEditor(std::string text);

} // namespace velloquin::platform
