#include "fakewin.h"
#include "reminder.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

namespace {

const DayNumber first = 3001; /* 20 March 2009: where every simulated clock starts */

/* Sets the stand-in's clock to a day number and a minute of that day. */
void SetClockAt(long long day, int minute)
{
    SYSTEMTIME date;
    ASSERT_TRUE(DayNumberToDate(day, &date)) << day;
    fake::SetClock(date.wYear, date.wMonth, date.wDay, minute / 60, minute % 60);
}

TEST(Forecast, DayNumbersAndDatesRoundTrip)
{
    fake::Reset();
    SYSTEMTIME date;
    for (long long day = 1; day <= 40000; day++) {
        ASSERT_TRUE(DayNumberToDate(day, &date)) << day;
        fake::SetClock(date.wYear, date.wMonth, date.wDay);
        ASSERT_EQ(GetDayNumber(), day) << date.wYear << "-" << date.wMonth << "-" << date.wDay;
    }
    const struct {
        long long day;
        bool valid;
        int year, month, dayOfMonth;
    } edges[] = {
        {0, false, 0, 0, 0},          {-5, false, 0, 0, 0},          {1, true, 2001, 1, 1},
        {2994, true, 2009, 3, 13},    {36220, true, 2100, 3, 1},     /* 2100 is a leap year here */
        {2921634, true, 9999, 12, 31}, {2921635, false, 0, 0, 0},    {LLONG_MAX / 2, false, 0, 0, 0},
    };
    for (const auto &e : edges) {
        ASSERT_EQ(DayNumberToDate(e.day, &date) != 0, e.valid) << e.day;
        if (e.valid) {
            EXPECT_EQ(date.wYear * 10000 + date.wMonth * 100 + date.wDay, e.year * 10000 + e.month * 100 + e.dayOfMonth)
                << e.day;
        }
    }
}

TEST(Forecast, HandEditedValuesAreAnsweredWithoutSteppingToThem)
{
    /* A warning time before the day, and a record far ahead: the first due day after it. */
    for (long long period : {1, 7}) {
        fake::Reset();
        reminderState = ReminderState{};
        for (auto [name, value] : {std::pair{SETTING_START_DAY, "2994"}, {SETTING_HOURS, "1"}, {SETTING_MINUTES, "-5"},
                                   {SETTING_LAST_WARNING_DAY, "2147483647"}})
            fake::SetText(name, value);
        fake::SetText(SETTING_FREQUENCY, std::to_string(period));
        long long due = INT_MAX + 1LL;
        while ((due - 2994) % period)
            due++;
        ReminderForecast next;
        ASSERT_TRUE(ForecastWarning(first, 12 * 60, &next));
        EXPECT_TRUE(next.day == due && next.minute == 0) << period << ": " << next.day << " at " << next.minute;
    }
}

/* Runs the clock minute by minute through two periods and a day: every check warns exactly
   at the moment the forecast made just before it named, and at no other. */
void CheckAgainstForecasts(long long period, long long start, long long hours, long long minutes, long long record,
                           ReminderState state, int firstMinute, bool storeDefaults, long long postponed = 0,
                           int answer = ANSWER_DONE, const char *firstDayPolicy = nullptr)
{
    fake::Reset();
    reminderState = state;
    fake::warningAnswer = answer;
    for (auto [name, value] : {std::pair{SETTING_START_DAY, start}, {SETTING_FREQUENCY, period},
                               {SETTING_HOURS, hours}, {SETTING_MINUTES, minutes}, {SETTING_LAST_WARNING_DAY, record},
                               {SETTING_POSTPONED_UNTIL, postponed}})
        if (value || storeDefaults)
            fake::SetText(name, std::to_string(value));
    if (firstDayPolicy)
        fake::SetValue("machine\\" POLICY_KEY, POLICY_FIRST_DAY, REG_SZ, firstDayPolicy);
    SCOPED_TRACE("start " + std::to_string(start) + ", every " + std::to_string(period) + " days, hours " +
                 std::to_string(hours) + ", minutes " + std::to_string(minutes) + ", last warning day " +
                 std::to_string(record) + ", last due day " + std::to_string(state.lastDueDay) +
                 (state.warningPending ? ", pending" : "") + ", postponed to " + std::to_string(postponed) +
                 ", answer " + std::to_string(answer) + ", first day " + (firstDayPolicy ? firstDayPolicy : "none"));

    long long step = period == 0 ? DEFAULT_FREQUENCY : period < 0 ? -period : period;
    long long day = first;
    int minute = firstMinute;
    ReminderForecast next;
    bool forecast = ForecastWarning((DayNumber) day, minute, &next) != 0;
    for (long long checks = (2 * step + 1) * MINUTES_PER_DAY; checks > 0; checks--) {
        SetClockAt(day, minute);
        fake::tickCount = (DWORD) (60000 * (day * MINUTES_PER_DAY + minute)); /* real time passes too */
        int before = fake::warningsShown;
        CheckReminder();
        bool warned = fake::warningsShown != before;
        ASSERT_EQ(warned, forecast && next.day == day && next.minute == minute)
            << "day " << day << ", minute " << minute << "; forecast "
            << (forecast ? std::to_string(next.day) + " at " + std::to_string(next.minute) : "none");
        /* Made as the tray does, from the minute after the check: 1440 is the next day's first.
           Until it comes true, every later forecast names the same moment. */
        ReminderForecast later;
        bool again = ForecastWarning((DayNumber) day, minute + 1, &later) != 0;
        if (++minute == MINUTES_PER_DAY) {
            minute = 0;
            day++;
        }
        if (again) {
            ASSERT_TRUE(later.minute >= 0 && later.minute < MINUTES_PER_DAY) << later.minute;
        }
        if (!warned) {
            ASSERT_EQ(again, forecast) << "forecast changed before day " << day << ", minute " << minute;
            if (forecast) {
                ASSERT_TRUE(later.day == next.day && later.minute == next.minute)
                    << "forecast moved from " << next.day << " at " << next.minute << " to " << later.day << " at "
                    << later.minute << " before day " << day << ", minute " << minute;
            }
        }
        forecast = again;
        next = later;
    }
    ASSERT_EQ(fake::OpenHandles(), 0);
}

TEST(Forecast, NamesTheMinuteTheCheckWarns)
{
    std::mt19937 random(20261207);
    auto any = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const long long extremes[] = {-100, -5, 25, 61, 2000, INT_MAX, INT_MIN};
    int run = 0;
    /* The last warning day: absent, or just before, on or just after the last due day
       before the first day, so that a warning is owed from the first check, or is not. */
    auto record = [](long long period, long long start, int kind) {
        long long step = period == 0 ? DEFAULT_FREQUENCY : period < 0 ? -period : period;
        long long back = ((first - (start ? start : first)) % step + step) % step;
        long long lastDue = first - (back ? back : step);
        const long long records[] = {0, lastDue - 1, lastDue, lastDue + 1};
        return records[kind % 4];
    };
    auto randomState = [&] {
        ReminderState state{};
        state.lastDueDay = any(0, 1) ? first + any(-3, 3) : 0;
        state.warningPending = any(0, 1);
        return state;
    };
    /* Start days before and after the clock's first day, so that some due days fall before
       the start and the start itself lies between due days; 0 is not yet recorded. */
    int periods = 0;
    for (long long period : {0, 1, 2, 3, -2}) {
        int starts = 0;
        for (long long start : {0, first - 4, first + 1, first + 3}) {
            run++;
            long long hours = run % 4 ? any(0, 24) : extremes[any(0, 6)];
            long long minutes = run % 5 ? any(0, 60) : extremes[any(0, 6)];
            CheckAgainstForecasts(period, start, hours, minutes, record(period, start, periods + starts++),
                                  randomState(), any(0, MINUTES_PER_DAY - 1), any(0, 1));
            if (HasFatalFailure())
                return;
        }
        periods++;
    }
    /* The first day is not due, and a due day after the start came before it. */
    for (int kind = 0; kind < 4; kind++)
        for (auto [period, start] : {std::pair{2LL, first - 9LL}, {-3LL, first - 4LL}}) {
            CheckAgainstForecasts(period, start, any(0, 24), any(0, 60), record(period, start, kind), randomState(),
                                  any(0, MINUTES_PER_DAY - 1), true);
            if (HasFatalFailure())
                return;
        }
    /* 24:00, the first minute beyond; and a record kept from a warning in this run. */
    CheckAgainstForecasts(1, first - 4, 25, 1, 0, ReminderState{}, 0, true);
    ReminderState warned{};
    warned.lastWarningDay = first - 1;
    CheckAgainstForecasts(3, first - 7, 8, 30, first - 5, warned, 0, true);
    /* A new run on a due day whose record is that day: before the warning time, and after. */
    for (int firstMinute : {6 * 60, 12 * 60})
        CheckAgainstForecasts(3, first - 3, 8, 30, first, ReminderState{}, firstMinute, true);
    /* Postponed to before, at and after the first due day's warning time, across midnight
       into it, and further ahead than any answer; each warning answered done, or put off an
       hour again and again. */
    for (int answer : {ANSWER_DONE, ANSWER_IN_1_HOUR})
        for (long long offset : {-30, 0, 30, -8 * 60, 3 * MINUTES_PER_DAY}) {
            CheckAgainstForecasts(3, first - 2, 8, 30, first - 2, ReminderState{}, 6 * 60, true,
                                  (first + 1) * MINUTES_PER_DAY + 7 * 60 + 29 + offset, answer);
            if (HasFatalFailure())
                return;
        }
    /* An organisation's first day: more than a period ahead (nothing before it), just ahead
       of the clock's first day, and past. */
    fake::Reset();
    reminderState = ReminderState{};
    fake::SetText(SETTING_START_DAY, "2997");
    fake::SetValue("machine\\" POLICY_KEY, POLICY_FIRST_DAY, REG_SZ, "2009-04-01");
    ReminderForecast next;
    ASSERT_TRUE(ForecastWarning(first, 0, &next));
    EXPECT_TRUE(next.day == first + 12 && next.minute == 7 * 60 + 29) << next.day << " at " << next.minute;
    for (const char *firstDay : {"2009-04-01", "2009-03-21", "2009-03-18"}) {
        CheckAgainstForecasts(3, first - 4, 8, 30, first - 4, ReminderState{}, 6 * 60, true, 0, ANSWER_DONE, firstDay);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
