#pragma once

#include <cstdint>

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
};

}  // namespace tkw
