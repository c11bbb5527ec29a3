#include "platform/Locale.h"

namespace velloquin::platform {

bool HasShortDateSetting() {
    return false;
}

std::optional<std::string> SystemShortDate(int, int, int) {
    return std::nullopt;
}

std::tm LocalTime(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return local;
}

std::string ForSystemEditor(std::string text) {
    return text;
}

} // namespace velloquin::platform
