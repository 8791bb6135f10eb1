#include "components/utils/BitConv.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tkw
