#include "fakewin.h"
#include "reminder.h"

#include <gtest/gtest.h>

namespace {

struct Date {
    int year, month, day;
};

DayNumber DayOf(Date date)
{
    fake::SetClock(date.year, date.month, date.day);
    return GetDayNumber();
}

/* The real Gregorian calendar, independent of the code under test. */
Date NextDay(Date d)
{
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    int length = lengths[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
    if (d.day < length)
        return {d.year, d.month, d.day + 1};
    if (d.month < 12)
        return {d.year, d.month + 1, 1};
    return {d.year + 1, 1, 1};
}

TEST(DayNumber, WorkedValues)
{
    fake::Reset();
    const struct {
        Date date;
        DayNumber expected;
    } cases[] = {
        {{2001, 1, 1}, 1},      {{2001, 1, 5}, 5},      {{2001, 12, 31}, 365}, {{2002, 1, 1}, 366},
        {{2008, 2, 28}, 2615},  {{2008, 2, 29}, 2616},  {{2008, 3, 1}, 2617},  {{2009, 3, 13}, 2994},
        {{2009, 3, 20}, 3001},  {{2009, 3, 27}, 3008},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DayOf(c.date), c.expected) << c.date.year << "-" << c.date.month << "-" << c.date.day;
}

TEST(DayNumber, EveryDayFrom2001To2099IsOneMoreThanTheDayBefore)
{
    fake::Reset();
    Date date = {2001, 1, 1};
    DayNumber previous = DayOf(date);
    int days = 1;
    for (date = NextDay(date); date.year < 2100; date = NextDay(date), days++) {
        DayNumber n = DayOf(date);
        ASSERT_EQ(n, previous + 1) << date.year << "-" << date.month << "-" << date.day;
        previous = n;
    }
    EXPECT_EQ(days, 36159);
    EXPECT_EQ(previous, 36159); /* 31 December 2099 */
}

TEST(DayNumber, DatesIn2000GetNoYearTerm)
{
    fake::Reset();
    EXPECT_EQ(DayOf({2000, 1, 1}), 1);
    EXPECT_EQ(DayOf({2000, 2, 29}), 60);
    EXPECT_EQ(DayOf({2000, 3, 1}), DayOf({2001, 3, 1}) + 1);
    EXPECT_EQ(DayOf({2000, 12, 31}), 366);
}

} // namespace
