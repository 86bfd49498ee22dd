// The time text (dajCzasStr, dwieCyfry) and the date text (dajDataStr).
#include "items/TImageData.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

TImageData at(int yy, int mm, int dd, int hh = 0, int min = 0, int sec = 0) {
    TImageData d;
    d.CF_config_YY = yy;
    d.CF_config_MM = mm;
    d.CF_config_DD = dd;
    d.CF_config_HH = hh;
    d.CF_config_MIN = min;
    d.CF_config_SEC = sec;
    return d;
}

TEST(TwoDigits, LeadingZeroBelowTen) {
    EXPECT_EQ(dwieCyfry(0), "00");
    EXPECT_EQ(dwieCyfry(7), "07");
    EXPECT_EQ(dwieCyfry(9), "09");
    EXPECT_EQ(dwieCyfry(10), "10");
    EXPECT_EQ(dwieCyfry(59), "59");
    EXPECT_EQ(dwieCyfry(2012), "2012");
    EXPECT_EQ(dwieCyfry(-5), "-5"); // our choice: a negative number as it is
}

TEST(TimeText, TheNormalCase) { EXPECT_EQ(dajCzasStr(at(12, 2, 12, 12, 57, 33)), "12.02.2012 12:57:33"); }

TEST(TimeText, Limits) {
    EXPECT_EQ(dajCzasStr(at(101, 2, 12, 12, 57, 33)), "12.02.2000 12:57:33"); // 2101 -> 2000
    EXPECT_EQ(dajCzasStr(at(100, 2, 12, 12, 57, 33)), "12.02.2100 12:57:33"); // 2100 stays
    EXPECT_EQ(dajCzasStr(at(12, 0, 12, 12, 57, 33)), "12.01.2012 12:57:33");  // month 0 -> 01
    EXPECT_EQ(dajCzasStr(at(12, 13, 12, 12, 57, 33)), "12.01.2012 12:57:33"); // month 13 -> 01
    EXPECT_EQ(dajCzasStr(at(12, 12, 0, 12, 57, 33)), "01.12.2012 12:57:33");  // day 0 -> 01
    EXPECT_EQ(dajCzasStr(at(12, 12, 32, 12, 57, 33)), "01.12.2012 12:57:33"); // day 32 -> 01
    EXPECT_EQ(dajCzasStr(at(12, 12, 31, 24, 57, 33)), "31.12.2012 01:57:33"); // hour 24 -> 01 (one)
    EXPECT_EQ(dajCzasStr(at(12, 12, 31, 23, 60, 33)), "31.12.2012 23:00:33"); // minute 60 -> 00
    EXPECT_EQ(dajCzasStr(at(12, 12, 31, 0, 59, 60)), "31.12.2012 00:59:00");  // second 60 -> 00
    EXPECT_EQ(dajCzasStr(at(65535, 65535, 65535, 65535, 65535, 65535)), "01.01.2000 01:00:00");
    EXPECT_EQ(dajCzasStr(at(0, 1, 1)), "01.01.2000 00:00:00");
}

TEST(DateText, YearMonthDay) {
    EXPECT_EQ(at(14, 3, 7).dajDataStr(), "2014-03-07"); // the documented example
    EXPECT_EQ(at(12, 12, 31).dajDataStr(), "2012-12-31");
    EXPECT_EQ(at(101, 3, 7).dajDataStr(), "2000-03-07");
    EXPECT_EQ(at(14, 0, 7).dajDataStr(), "2014-01-07");
    EXPECT_EQ(at(14, 13, 7).dajDataStr(), "2014-01-07");
    EXPECT_EQ(at(14, 3, 0).dajDataStr(), "2014-03-01");
    EXPECT_EQ(at(14, 3, 32).dajDataStr(), "2014-03-01");
    EXPECT_EQ(at(14, -1, -1).dajDataStr(), "2014-01-01"); // below 1 -> 1
}

} // namespace
} // namespace kelvo::test
