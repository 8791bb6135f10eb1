#pragma once

#include <compare>
#include <ctime>
#include <optional>
#include <string>

namespace tkw {

// A local calendar date and time of day in whole seconds, as the user sees it.
struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const LocalDateTime&) const = default;
};

LocalDateTime ToLocalDateTime(std::time_t seconds);

// Seconds since the epoch of a local date and time; the conversion decides daylight saving itself.
// Nothing when the C library cannot represent the instant.
std::optional<std::time_t> ToTimeT(const LocalDateTime& local);

LocalDateTime NowLocal();

// "YYYY-MM-DD HH:MM:SS", the form that starts every log line.
std::string FormatTimeAsString(const LocalDateTime& local);

// The current local time as FormatTimeAsString writes it.
std::string GetTimeAsString();

}  // namespace tkw
