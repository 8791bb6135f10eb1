#include "components/utils/LocalTime.h"

#include <cstdio>

namespace tkw {

LocalDateTime ToLocalDateTime(std::time_t seconds) {
    std::tm parts{};
    if (::localtime_r(&seconds, &parts) == nullptr) {
        return {};
    }
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
            parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::optional<std::time_t> ToTimeT(const LocalDateTime& local) {
    std::tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;
    // mktime returns -1 both for failure and for 1969-12-31 23:59:59 UTC; the day of the week it
    // fills in tells the two apart.
    parts.tm_wday = -1;
    const std::time_t seconds = ::mktime(&parts);
    if (seconds == static_cast<std::time_t>(-1) && parts.tm_wday == -1) {
        return std::nullopt;
    }
    return seconds;
}

LocalDateTime NowLocal() {
    return ToLocalDateTime(std::time(nullptr));
}

std::string FormatTimeAsString(const LocalDateTime& local) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.year, local.month,
                  local.day, local.hour, local.minute, local.second);
    return text;
}

std::string GetTimeAsString() {
    return FormatTimeAsString(NowLocal());
}

}  // namespace tkw
