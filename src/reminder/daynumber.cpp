#include "reminder.h"

static const int monthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

/* Today's local date as a running day count; every fourth year is a leap year. */
DayNumber GetDayNumber(void)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DayNumberOf(&now);
}

/* A local date's day number, by the same count. */
DayNumber DayNumberOf(const SYSTEMTIME *date)
{
    int year = date->wYear;
    int n = date->wDay;
    for (int m = 1; m < date->wMonth && m <= 12; m++) {
        n += monthLengths[m - 1];
        if (m == 2 && year % 4 == 0)
            n++;
    }
    for (int y = 2001; y < year; y++)
        n += (y % 4 == 0) ? 366 : 365;
    return n;
}

/* The date of a day number by the same calendar, at midnight; 0 outside the years 2001-9999. */
int DayNumberToDate(long long day, SYSTEMTIME *date)
{
    if (day < 1)
        return 0;
    /* Four years from 2001 on are always 1461 days, the leap year last. */
    long long blocks = (day - 1) / 1461;
    if (blocks > (9999 - 2001) / 4 + 1)
        return 0;
    int year = 2001 + (int) blocks * 4;
    int n = (int) (day - blocks * 1461);
    while (n > ((year % 4 == 0) ? 366 : 365))
        n -= (year++ % 4 == 0) ? 366 : 365;
    if (year > 9999)
        return 0;

    int month = 1;
    for (;; month++) {
        int length = monthLengths[month - 1] + (month == 2 && year % 4 == 0);
        if (n <= length)
            break;
        n -= length;
    }
    *date = SYSTEMTIME{};
    date->wYear = (WORD) year;
    date->wMonth = (WORD) month;
    date->wDay = (WORD) n;
    return 1;
}

/* Now as a moment: day number * 1440 + minute of the day. */
long long MomentNow(void)
{
    SYSTEMTIME now;
    GetLocalTime(&now); /* once: read twice, midnight could fall between */
    return (long long) DayNumberOf(&now) * MINUTES_PER_DAY + now.wHour * 60 + now.wMinute;
}
