#include "reminder.h"

static const int monthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

/* Today's local date as a running day count; every fourth year is a leap year. */
DayNumber GetDayNumber(void)
{
    SYSTEMTIME now;
    GetLocalTime(&now);

    int year = now.wYear;
    int n = now.wDay;
    for (int m = 1; m < now.wMonth && m <= 12; m++) {
        n += monthLengths[m - 1];
        if (m == 2 && year % 4 == 0)
            n++;
    }
    for (int y = 2001; y < year; y++)
        n += (y % 4 == 0) ? 366 : 365;
    return n;
}
