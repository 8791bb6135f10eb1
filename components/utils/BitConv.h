#pragma once

#include <cstdint>
#include <limits>

namespace tkw {

// Unit conversions of amounts of storage, with a factor of 1024 between units. Conversions to a
// larger unit round down.
class CBitConv {
public:
    static constexpr std::uint64_t kFactor = 1024;

    static constexpr std::uint64_t KBToB(std::uint64_t v) { return v * kFactor; }
    static constexpr std::uint64_t MBToB(std::uint64_t v) { return v * kFactor * kFactor; }
    static constexpr std::uint64_t GBToB(std::uint64_t v) {
        return v * kFactor * kFactor * kFactor;
    }

    static constexpr std::uint64_t BToKB(std::uint64_t v) { return v / kFactor; }
    static constexpr std::uint64_t BToMB(std::uint64_t v) { return v / (kFactor * kFactor); }
    static constexpr std::uint64_t BToGB(std::uint64_t v) {
        return v / (kFactor * kFactor * kFactor);
    }

    static constexpr std::uint64_t KBToMB(std::uint64_t v) { return v / kFactor; }
    static constexpr std::uint64_t KBToGB(std::uint64_t v) { return v / (kFactor * kFactor); }
    static constexpr std::uint64_t MBToKB(std::uint64_t v) { return v * kFactor; }
    static constexpr std::uint64_t MBToGB(std::uint64_t v) { return v / kFactor; }
    static constexpr std::uint64_t GBToKB(std::uint64_t v) { return v * kFactor * kFactor; }
    static constexpr std::uint64_t GBToMB(std::uint64_t v) { return v * kFactor; }

    // Units by number: 0 bytes, 1 kilobytes, 2 megabytes, 3 gigabytes.
    enum Unit : int { kBytes = 0, kKBytes = 1, kMBytes = 2, kGBytes = 3 };

    // `value` from one unit to another with the conversion of that pair, applied to the magnitude
    // so that a sign is kept; a result beyond the 64-bit range saturates instead of wrapping. An
    // unknown unit leaves the value as it is.
    static constexpr std::int64_t Convert(std::int64_t value, int from, int to) {
        if (from < kBytes || from > kGBytes || to < kBytes || to > kGBytes || from == to) {
            return value;
        }
        const bool negative = value < 0;
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        std::uint64_t factor = 1;
        for (int i = 0; i < (from > to ? from - to : to - from); ++i) {
            factor *= kFactor;
        }
        if (from > to && magnitude > std::numeric_limits<std::int64_t>::max() / factor) {
            return negative ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
        }
        const auto converted = static_cast<std::int64_t>(Pair(from, to)(magnitude));
        return negative ? -converted : converted;
    }

private:
    using Conversion = std::uint64_t (*)(std::uint64_t);
    static constexpr Conversion Pair(int from, int to) {
        constexpr Conversion kPairs[4][4] = {
            {nullptr, BToKB, BToMB, BToGB},
            {KBToB, nullptr, KBToMB, KBToGB},
            {MBToB, MBToKB, nullptr, MBToGB},
            {GBToB, GBToKB, GBToMB, nullptr},
        };
        return kPairs[from][to];
    }
};

}  // namespace tkw
