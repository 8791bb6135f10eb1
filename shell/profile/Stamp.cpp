#include "shell/profile/Stamp.h"

#include <limits>

namespace tkw {

std::int32_t StampFromLocal(const LocalDateTime& local) {
    const auto seconds = ToTimeT(local);
    if (!seconds) {
        return kStampNotSet;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*seconds));
}

std::optional<LocalDateTime> LocalFromStamp(std::int32_t stamp) {
    if (stamp == kStampNotSet) {
        return std::nullopt;
    }
    return ToLocalDateTime(static_cast<std::time_t>(stamp));
}

bool StampCanHold(const LocalDateTime& local) {
    const auto seconds = ToTimeT(local);
    return seconds && *seconds > 0 && *seconds <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace tkw
