#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "components/utils/LocalTime.h"

namespace tkw {

// The 32-bit stamp the date and time filters store: the low 32 bits, as a signed number, of the
// seconds since 1970-01-01 00:00:00 UTC. 0 means "not set" (although it is also that instant).
// It holds instants up to 2038-01-19 03:14:07 UTC.

inline constexpr std::int32_t kStampNotSet = 0;

// Low 32 bits of the seconds of a local date and time (daylight saving decided by the
// conversion). An instant the C library cannot represent gives kStampNotSet.
std::int32_t StampFromLocal(const LocalDateTime& local);

// The stamp sign-extended to seconds and shown as local time; nothing for kStampNotSet.
std::optional<LocalDateTime> LocalFromStamp(std::int32_t stamp);

// Whether the stamp can hold the instant without losing it: 1970-01-01 00:00:01 UTC up to
// 2038-01-19 03:14:07 UTC.
bool StampCanHold(const LocalDateTime& local);

}  // namespace tkw
