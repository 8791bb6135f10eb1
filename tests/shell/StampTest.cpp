#include "shell/profile/Stamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace tkw {
namespace {

class StampTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }
};

TEST_F(StampTest, RoundTripsInstantsTheFieldHolds) {
    const LocalDateTime instants[] = {{1970, 1, 1, 0, 0, 1},
                                      {2011, 3, 7, 23, 59, 59},
                                      {2026, 12, 10, 12, 0, 0},
                                      {2038, 1, 19, 3, 14, 7}};
    for (const auto& local : instants) {
        const std::int32_t stamp = StampFromLocal(local);
        EXPECT_NE(stamp, kStampNotSet);
        EXPECT_EQ(LocalFromStamp(stamp), local) << FormatTimeAsString(local);
        EXPECT_TRUE(StampCanHold(local));
    }
    EXPECT_EQ(StampFromLocal({2038, 1, 19, 3, 14, 7}), std::numeric_limits<std::int32_t>::max());
}

TEST_F(StampTest, ZeroMeansNotSetAlthoughItIsAlsoTheEpoch) {
    EXPECT_FALSE(LocalFromStamp(0).has_value());
    EXPECT_EQ(StampFromLocal({1970, 1, 1, 0, 0, 0}), kStampNotSet);
    EXPECT_FALSE(StampCanHold({1970, 1, 1, 0, 0, 0}));
}

TEST_F(StampTest, InstantsAfter2038DoNotFitAndWrapWhenStoredAnyway) {
    const LocalDateTime late{2038, 1, 19, 3, 14, 8};
    EXPECT_FALSE(StampCanHold(late));
    const std::int32_t stamp = StampFromLocal(late);
    EXPECT_EQ(stamp, std::numeric_limits<std::int32_t>::min());
    // Read back sign-extended: the stamp names an instant in 1901.
    EXPECT_EQ(LocalFromStamp(stamp), (LocalDateTime{1901, 12, 13, 20, 45, 52}));
    EXPECT_FALSE(StampCanHold({1969, 12, 31, 23, 0, 0}));
}

TEST_F(StampTest, LocalTimeIsConvertedWithTheZonesDaylightSaving) {
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    EXPECT_EQ(StampFromLocal({2020, 7, 1, 12, 0, 0}), 1593597600);
    EXPECT_EQ(LocalFromStamp(1593597600), (LocalDateTime{2020, 7, 1, 12, 0, 0}));
}

}  // namespace
}  // namespace tkw
