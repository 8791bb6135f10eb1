#include "components/utils/LocalTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace tkw {
namespace {

// Runs a test in a fixed time zone given as a POSIX rule, which needs no time-zone database.
class InTimeZone {
public:
    explicit InTimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        ::setenv("TZ", rule, 1);
        ::tzset();
    }
    ~InTimeZone() {
        if (m_old.empty()) {
            ::unsetenv("TZ");
        } else {
            ::setenv("TZ", m_old.c_str(), 1);
        }
        ::tzset();
    }

private:
    std::string m_old;
};

TEST(LocalTime, FormatsWithZeroPaddedFields) {
    EXPECT_EQ(FormatTimeAsString({2011, 3, 7, 9, 5, 1}), "2011-03-07 09:05:01");
}

TEST(LocalTime, GetTimeAsStringIsTheCurrentLocalTime) {
    EXPECT_TRUE(
        std::regex_match(GetTimeAsString(), std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")));
}

TEST(LocalTime, ConvertsBothWaysWithDaylightSavingDecidedByTheDate) {
    InTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(ToTimeT({2020, 7, 1, 12, 0, 0}), 1593597600);  // summer: UTC+2
    EXPECT_EQ(ToTimeT({2020, 1, 1, 12, 0, 0}), 1577876400);  // winter: UTC+1
    EXPECT_EQ(ToLocalDateTime(1593597600), (LocalDateTime{2020, 7, 1, 12, 0, 0}));
}

TEST(LocalTime, TheSecondBeforeTheEpochIsNotAFailure) {
    InTimeZone utc("UTC0");
    EXPECT_EQ(ToTimeT({1969, 12, 31, 23, 59, 59}), -1);
}

}  // namespace
}  // namespace tkw
