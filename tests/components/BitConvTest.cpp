#include "components/utils/BitConv.h"

#include <gtest/gtest.h>

#include <limits>

namespace tkw {
namespace {

TEST(BitConv, UsesFactor1024AndRoundsDownToLargerUnits) {
    constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
    EXPECT_EQ(CBitConv::KBToB(1), 1024u);
    EXPECT_EQ(CBitConv::MBToB(3), 3u * 1024 * 1024);
    EXPECT_EQ(CBitConv::GBToB(5), 5 * kGiB);  // beyond 32 bits
    EXPECT_EQ(CBitConv::BToKB(2047), 1u);
    EXPECT_EQ(CBitConv::BToMB(1024 * 1024 - 1), 0u);
    EXPECT_EQ(CBitConv::BToGB(3 * kGiB - 1), 2u);
    EXPECT_EQ(CBitConv::KBToMB(2048), 2u);
    EXPECT_EQ(CBitConv::KBToGB(1024 * 1024), 1u);
    EXPECT_EQ(CBitConv::MBToKB(2), 2048u);
    EXPECT_EQ(CBitConv::MBToGB(1536), 1u);
    EXPECT_EQ(CBitConv::GBToKB(1), 1024u * 1024);
    EXPECT_EQ(CBitConv::GBToMB(2), 2048u);
}

// The size fields' unit change: the pair's conversion, a sign kept, no wrap-around.
TEST(BitConv, ConvertsBetweenUnitsByNumberAndSaturates) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::int64_t value;
        int from;
        int to;
        std::int64_t expected;
    };
    const Case cases[] = {
        {5, CBitConv::kMBytes, CBitConv::kKBytes, 5120},
        {5, CBitConv::kMBytes, CBitConv::kGBytes, 0},  // rounds down
        {3, CBitConv::kGBytes, CBitConv::kBytes, 3LL << 30},
        {-5, CBitConv::kMBytes, CBitConv::kKBytes, -5120},
        {-1536, CBitConv::kMBytes, CBitConv::kGBytes, -1},  // toward zero, as for a positive one
        {7, CBitConv::kKBytes, CBitConv::kKBytes, 7},
        {7, CBitConv::kKBytes, 9, 7},  // an unknown unit changes nothing
        {kMax, CBitConv::kBytes, CBitConv::kKBytes, kMax / 1024},
        {kMax / 1024 + 1, CBitConv::kKBytes, CBitConv::kBytes, kMax},
        {kMax / 1024, CBitConv::kKBytes, CBitConv::kBytes, (kMax / 1024) * 1024},
        {8LL << 40, CBitConv::kGBytes, CBitConv::kBytes, kMax},
        {-(8LL << 40), CBitConv::kGBytes, CBitConv::kBytes, kMin},
        {kMin, CBitConv::kBytes, CBitConv::kKBytes, kMin / 1024},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CBitConv::Convert(c.value, c.from, c.to), c.expected)
            << c.value << " from unit " << c.from << " to " << c.to;
    }
}

}  // namespace
}  // namespace tkw
