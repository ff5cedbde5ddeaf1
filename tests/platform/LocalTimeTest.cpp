#include "LocalTime.h"

#include <gtest/gtest.h>

using namespace lumora;

// Tests run with TZ=UTC.
TEST(LocalTime, ConvertsBothWaysInUtc) {
    std::tm tm{};
    tm.tm_year = 101;
    tm.tm_mon = 2;
    tm.tm_mday = 1;
    tm.tm_isdst = 0;
    EXPECT_EQ(LocalTime::toTime(tm), 983404800);
    std::tm back{};
    ASSERT_TRUE(LocalTime::fromTime(983404800, back));
    EXPECT_EQ(back.tm_year, 101);
    EXPECT_EQ(back.tm_mon, 2);
    EXPECT_EQ(back.tm_mday, 1);
    EXPECT_EQ(back.tm_hour, 0);
    EXPECT_EQ(LocalTime::standardBiasSeconds(), 0);
    EXPECT_FALSE(LocalTime::isDaylightSaving());
}
