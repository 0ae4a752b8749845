#include "fakewin.h"
#include "reminder.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

/* 13 March 2009 is day 2994; the warnings of a 7-day cycle fall on the 20th and 27th. */
class Check : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        reminderState = ReminderState{};
        hInst = (HINSTANCE) (uintptr_t) 0x400000;
    }
    void TearDown() override { EXPECT_EQ(fake::OpenHandles(), 0); }

    /* One check at a March 2009 date and time; answers whether it warned. */
    bool CheckAt(int day, int hour, int minute)
    {
        fake::SetClock(2009, 3, day, hour, minute);
        int before = fake::warningsShown;
        CheckReminder();
        return fake::warningsShown != before;
    }
    void StoreCycle(int start, int frequency, int hours = 0, int minutes = 0)
    {
        fake::SetText(SETTING_START_DAY, std::to_string(start));
        fake::SetText(SETTING_FREQUENCY, std::to_string(frequency));
        if (hours)
            fake::SetText(SETTING_HOURS, std::to_string(hours));
        if (minutes)
            fake::SetText(SETTING_MINUTES, std::to_string(minutes));
    }
};

TEST_F(Check, FirstRunRecordsTodayAndDoesNotWarn)
{
    EXPECT_FALSE(CheckAt(13, 9, 0));
    EXPECT_EQ(ReadSettingInt(SETTING_START_DAY), 2994);
    EXPECT_FALSE(CheckAt(13, 9, 1));
    EXPECT_TRUE(CheckAt(20, 7, 29)); /* defaults: every 7 days at 07:29 */
}

TEST_F(Check, StateTable)
{
    StoreCycle(2994, 7);
    fake::warningAnswer = ANSWER_NONE; /* OK would settle the day, the clock set back or not */
    const struct {
        int line;
        int day, hour, minute;
        bool warns;
        int lastDueDay, pending;
    } steps[] = {
        {__LINE__, 13, 7, 29, false, 0, 0},    /* the start day itself */
        {__LINE__, 14, 7, 29, false, 0, 0},    /* not a whole period away */
        {__LINE__, 20, 0, 0, false, 3001, 1},  /* first check of a due day, before the target */
        {__LINE__, 20, 7, 28, false, 3001, 1}, /* still pending */
        {__LINE__, 20, 7, 29, true, 3001, 0},  /* fires, pending cleared */
        {__LINE__, 20, 7, 29, false, 3001, 0}, /* a second check in its minute: an unlock, say */
        {__LINE__, 20, 7, 30, false, 3001, 0}, /* no repeat */
        {__LINE__, 20, 23, 59, false, 3001, 0},
        {__LINE__, 20, 7, 29, true, 3001, 0},  /* clock set back to exactly the target */
        {__LINE__, 21, 7, 29, false, 3001, 0},
        {__LINE__, 27, 9, 0, true, 3008, 0},   /* late start on the next due day catches up */
    };
    for (const auto &s : steps) {
        EXPECT_EQ(CheckAt(s.day, s.hour, s.minute), s.warns) << "step at line " << s.line;
        EXPECT_EQ(reminderState.lastDueDay, s.lastDueDay) << "step at line " << s.line;
        EXPECT_EQ(reminderState.warningPending, s.pending) << "step at line " << s.line;
    }
}

TEST_F(Check, AlarmPlaysFromOwnModuleBeforeTheWarning)
{
    StoreCycle(2994, 7);
    fake::onWarning = [] { ASSERT_EQ(fake::sounds.size(), 1u); };
    ASSERT_TRUE(CheckAt(20, 8, 0));
    ASSERT_EQ(fake::sounds.size(), 1u);
    EXPECT_EQ(fake::sounds[0].name, "ALARM");
    EXPECT_EQ(fake::sounds[0].module, hInst);
    EXPECT_EQ(fake::sounds[0].flags, (DWORD) 0x00040004);
    EXPECT_FALSE(CheckAt(21, 8, 0));
    EXPECT_EQ(fake::sounds.size(), 1u);
}

TEST_F(Check, SystemLibrariesNeverLoadByTheirBareName)
{
    /* With the search flag, and on systems that reject it, by the system directory's path. */
    const struct {
        bool flagKnown;
        std::vector<std::string> loads;
    } cases[] = {{true, {"winmm.dll 2048"}}, {false, {"winmm.dll 2048", "C:\\Windows\\system32\\winmm.dll"}}};
    for (const auto &c : cases) {
        fake::Reset();
        fake::searchFlagKnown = c.flagKnown;
        EXPECT_TRUE(LoadSystemLibrary("winmm.dll"));
        EXPECT_EQ(fake::libraryLoads, c.loads);
    }
}

TEST_F(Check, DueDaysAreWholeNonZeroPeriodsFromTheStartEitherWay)
{
    /* Checked on 20 March 2009, day 3001. */
    const struct {
        int line;
        long long start;
        long long frequency;
        bool due;
    } cases[] = {
        {__LINE__, 2994, 7, true},         {__LINE__, 2987, 7, true},
        {__LINE__, 3008, 7, true},         /* clock set back before the start day */
        {__LINE__, 3001, 7, false},        /* the start day itself */
        {__LINE__, 2995, 7, false},        {__LINE__, 3000, 7, false},
        {__LINE__, 3000, 1, true},         {__LINE__, 3002, 1, true},
        {__LINE__, 2994, -7, true},        /* a negative period acts as its absolute value */
        {__LINE__, 2995, -7, false},       {__LINE__, 3000, -1, true},
        {__LINE__, 2994, INT_MIN, false},  {__LINE__, 2994, INT_MAX, false},
        {__LINE__, 3001LL - INT_MAX, INT_MAX, true},
        {__LINE__, INT_MIN, 1, true},      /* today - start beyond 32 bits */
        {__LINE__, INT_MIN, -1, true},     {__LINE__, INT_MAX, -1, true},
        {__LINE__, INT_MIN, 7, (3001LL - INT_MIN) % 7 == 0},
        {__LINE__, INT_MIN, INT_MIN, false},
    };
    for (const auto &c : cases) {
        reminderState = ReminderState{};
        fake::SetText(SETTING_START_DAY, std::to_string(c.start));
        fake::SetText(SETTING_FREQUENCY, std::to_string(c.frequency));
        fake::SetClock(2009, 3, 20, 7, 0);
        EXPECT_EQ(IsWarningDay() != 0, c.due) << "case at line " << c.line;
        EXPECT_EQ(reminderState.warningPending, c.due ? 1 : 0) << "case at line " << c.line;
    }
}

TEST_F(Check, ZeroOrAbsentFrequencyMeansSevenDays)
{
    for (const char *frequency : std::initializer_list<const char *>{"0", "abc", nullptr}) {
        fake::Reset();
        reminderState = ReminderState{};
        fake::SetText(SETTING_START_DAY, "2994");
        if (frequency)
            fake::SetText(SETTING_FREQUENCY, frequency);
        EXPECT_FALSE(CheckAt(19, 9, 0)) << (frequency ? frequency : "absent");
        EXPECT_TRUE(CheckAt(20, 9, 0)) << (frequency ? frequency : "absent");
    }
}

TEST_F(Check, NightRunIntoADueDayWarnsAtTheTarget)
{
    StoreCycle(2994, 7, 8, 30); /* 07:29 */
    EXPECT_FALSE(CheckAt(19, 23, 59));
    EXPECT_FALSE(CheckAt(20, 0, 0));
    EXPECT_EQ(reminderState.warningPending, 1);
    EXPECT_FALSE(CheckAt(20, 7, 28));
    EXPECT_TRUE(CheckAt(20, 7, 29));
}

TEST_F(Check, TargetsFromStoredTimes)
{
    const struct {
        int line;
        const char *hours, *minutes;
        int hour, minute;
        bool warnsPending, warnsAfterFired;
    } cases[] = {
        {__LINE__, "1", "1", 0, 0, true, true},          /* 00:00 */
        {__LINE__, "1", "1", 23, 59, true, false},
        {__LINE__, "24", "60", 23, 58, false, false},    /* 23:59 */
        {__LINE__, "24", "60", 23, 59, true, true},
        {__LINE__, "0", "0", 7, 29, true, true},         /* defaults: 07:29, not 08:30 */
        {__LINE__, "0", "0", 8, 29, true, false},
        {__LINE__, "30", "1", 23, 59, false, false},     /* target beyond the day: never */
        {__LINE__, "-5", "1", 0, 0, true, false},        /* negative target: first check */
        {__LINE__, "2147483647", "2147483647", 23, 59, false, false},
        {__LINE__, "-2147483648", "-2147483648", 0, 0, true, false},
    };
    for (const auto &c : cases) {
        fake::SetText(SETTING_HOURS, c.hours);
        fake::SetText(SETTING_MINUTES, c.minutes);
        fake::SetClock(2009, 3, 20, c.hour, c.minute);
        reminderState.warningPending = 1;
        EXPECT_EQ(IsWarningTime() != 0, c.warnsPending) << "case at line " << c.line;
        reminderState.warningPending = 0;
        reminderState.latestMoment = 3002LL * MINUTES_PER_DAY; /* the clock set back from the next day */
        EXPECT_EQ(IsWarningTime() != 0, c.warnsAfterFired) << "case at line " << c.line;
    }
}

TEST_F(Check, TargetBeyondTheDayLeavesTheFlagSet)
{
    StoreCycle(2994, 7, 30, 1);
    EXPECT_FALSE(CheckAt(20, 23, 59));
    EXPECT_EQ(reminderState.warningPending, 1);
}

TEST_F(Check, OneWarningAtATimeWhoseAnswerStandsForAll)
{
    /* A warning shown at 07:40 on due day 20 March stays open while these checks run. One
       that finds another warning due rings again and brings the open one forward. */
    struct Nested {
        int day, hour, minute;
        bool rings;
    };
    const struct {
        int line;
        int period;
        std::vector<Nested> nested;
        int answer;
    } cases[] = {
        {__LINE__, 7, {{20, 7, 40, false}, {20, 7, 45, false}}, ANSWER_DONE}, /* its own minute, later ones */
        {__LINE__, 7, {{20, 7, 45, false}, {20, 7, 29, true}}, ANSWER_DONE},  /* the clock set back over it */
        /* Left open into the next due day: Later on it is not undone by a second answer. */
        {__LINE__, 1, {{21, 0, 1, false}, {21, 7, 29, true}, {21, 7, 30, false}}, ANSWER_IN_1_HOUR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        fake::Reset();
        reminderState = ReminderState{};
        StoreCycle(2994, c.period);
        fake::warningAnswer = c.answer;
        fake::onWarning = [&] {
            fake::onWarning = nullptr;
            for (const auto &n : c.nested) {
                size_t alarms = fake::sounds.size();
                int forward = fake::broughtForward;
                EXPECT_FALSE(CheckAt(n.day, n.hour, n.minute)) << n.day << " " << n.hour << ":" << n.minute;
                EXPECT_EQ(fake::sounds.size() - alarms, n.rings ? 1u : 0u);
                EXPECT_EQ(fake::broughtForward - forward, n.rings ? 1 : 0);
                if (n.rings) { /* counts as shown */
                    EXPECT_EQ(reminderState.warningPending, 0);
                    EXPECT_EQ(ReadSettingInt(SETTING_LAST_WARNING_DAY), 2981 + n.day);
                }
            }
        };
        EXPECT_TRUE(CheckAt(20, 7, 40));
        EXPECT_EQ(ReadSettingLong(SETTING_POSTPONED_UNTIL), c.answer == ANSWER_DONE ? 0 : MomentNow() + 60);
    }
}

TEST_F(Check, TomorrowCountsFromTheDayTheWarningWasShown)
{
    /* Shown at 23:50 on due day 20 March; answered the next morning. */
    const struct {
        int line;
        int hour, minute;
        int comesOn;
    } cases[] = {
        {__LINE__, 0, 5, 21}, /* after midnight: today at 07:29 */
        {__LINE__, 8, 0, 22}, /* that has passed: the day after */
    };
    for (const auto &c : cases) {
        fake::Reset();
        reminderState = ReminderState{};
        StoreCycle(2994, 7);
        fake::warningAnswer = ANSWER_TOMORROW;
        fake::onWarning = [&] { fake::SetClock(2009, 3, 21, c.hour, c.minute); };
        EXPECT_TRUE(CheckAt(20, 23, 50));
        EXPECT_EQ(ReadSettingLong(SETTING_POSTPONED_UNTIL), (2981LL + c.comesOn) * MINUTES_PER_DAY + 7 * 60 + 29)
            << "case at line " << c.line;
    }
}

TEST_F(Check, WarningWaitsWhileThePersonIsAwayOrBusy)
{
    const int away = QUNS_NOT_PRESENT, free = QUNS_ACCEPTS_NOTIFICATIONS, missing = NO_NOTIFICATION_STATE,
              fails = FAILED_NOTIFICATION_STATE;
    /* The tick count follows the wall clock unless a step gives its own, in minutes. */
    struct Step {
        int day, hour, minute, state;
        bool warns;
        int tickMinutes = -1;
    };
    const struct {
        int line;
        int period;
        std::vector<Step> steps;
        DWORD tickBase = 0;
    } cases[] = {
        {__LINE__, 7, {{20, 7, 29, away, false}, {20, 7, 30, away, false}}},   /* away at the target time */
        {__LINE__, 7, {{20, 7, 29, away, false}, {20, 9, 0, free, true}, {20, 9, 1, free, false}}}, /* back */
        {__LINE__, 7, {{20, 7, 29, away, false}, {21, 0, 0, away, false}, {21, 8, 0, free, true},
                       {21, 8, 1, free, false}}}, /* away past midnight into a day that is not due */
        /* Busy, in any of its forms: shown anyway two hours after it became due. */
        {__LINE__, 7, {{20, 7, 29, QUNS_BUSY, false}, {20, 9, 28, QUNS_BUSY, false}, {20, 9, 29, QUNS_BUSY, true}}},
        {__LINE__, 7, {{20, 7, 29, QUNS_PRESENTATION_MODE, false}, {20, 8, 0, QUNS_RUNNING_D3D_FULL_SCREEN, false},
                       {20, 8, 30, QUNS_APP, false}, {20, 9, 0, QUNS_QUIET_TIME, false}, {20, 9, 29, QUNS_APP, true}}},
        {__LINE__, 7, {{20, 7, 29, QUNS_BUSY, false}, {20, 8, 0, free, true}}}, /* busy for a while */
        {__LINE__, 7, {{20, 7, 29, missing, true}, {20, 7, 30, missing, false}}}, /* as before */
        {__LINE__, 7, {{20, 7, 29, fails, true}, {20, 7, 30, fails, false}}},
        /* Away through the next due day: one warning, due since the first. Back before the
           next one's time: the held one now, and its OK stands for the next one too. */
        {__LINE__, 1, {{20, 7, 29, away, false}, {21, 7, 29, away, false}, {21, 8, 0, QUNS_BUSY, true},
                       {21, 9, 0, free, false}}},
        {__LINE__, 1, {{20, 7, 29, away, false}, {21, 6, 0, free, true}, {21, 7, 30, free, false}}}, /* OK: done */
        /* Two hours busy are two hours of ticks: the clock set back a day, or an hour for
           daylight saving, changes nothing; nor does the tick count wrapping. */
        {__LINE__, 7, {{20, 7, 29, QUNS_BUSY, false, 0}, {19, 9, 28, QUNS_BUSY, false, 119},
                       {19, 9, 29, QUNS_BUSY, true, 120}}},
        {__LINE__, 7, {{20, 7, 29, QUNS_BUSY, false, 0}, {20, 8, 29, QUNS_BUSY, true, 120}}},
        {__LINE__, 7, {{20, 7, 29, QUNS_BUSY, false, 0}, {20, 10, 28, QUNS_BUSY, false, 119}}},
        {__LINE__, 7, {{20, 7, 29, QUNS_BUSY, false, 0}, {20, 9, 0, QUNS_BUSY, false, 91},
                       {20, 9, 29, QUNS_BUSY, true, 120}}, 0xFFFFFFFFu - 90 * 60000u},
    };
    for (const auto &c : cases) {
        fake::Reset();
        reminderState = ReminderState{};
        StoreCycle(2994, c.period);
        for (const auto &s : c.steps) {
            fake::notificationState = s.state;
            fake::tickCount =
                c.tickBase + 60000u * (DWORD) (s.tickMinutes >= 0 ? s.tickMinutes : (s.day * 24 + s.hour) * 60 + s.minute);
            size_t alarms = fake::sounds.size();
            EXPECT_EQ(CheckAt(s.day, s.hour, s.minute), s.warns)
                << "case at line " << c.line << ", " << s.day << " March " << s.hour << ":" << s.minute;
            EXPECT_EQ(fake::sounds.size() - alarms, s.warns ? 1u : 0u) << "case at line " << c.line;
        }
    }
}

TEST_F(Check, ADueDayThatPassedUnseenComesOnceAtTheNextStart)
{
    /* Today T is day 3001 (20 March 2009); day offsets are from it. With a start at T - 10
       and a 7-day period, T - 3 was due and T + 4 is. */
    const int none = INT_MIN, T = 3001, away = QUNS_NOT_PRESENT, free = QUNS_ACCEPTS_NOTIFICATIONS;
    struct Step {
        int day, hour, minute, state;
        bool warns;
        int record; /* stored after the check */
    };
    const struct {
        int line;
        int start, period, record;
        std::vector<Step> steps;
        bool readOnly = false;
        int hours = 0;
    } cases[] = {
        {__LINE__, -10, 7, -10, {{0, 3, 0, free, true, 0}, {0, 3, 1, free, false, 0}, {1, 3, 0, free, false, 0}}},
        {__LINE__, -10, 7, -3, {{0, 3, 0, free, false, -3}}},   /* shown on that due day */
        {__LINE__, -10, 7, -1, {{0, 3, 0, free, false, -1}}},   /* or after it */
        {__LINE__, -10, 7, none, {{0, 3, 0, free, false, none}}}, /* no record: as before */
        {__LINE__, -10, 7, 5, {{0, 3, 0, free, false, -1}}},    /* the clock set back: counts as the day before */
        {__LINE__, -2, 7, -30, {{0, 3, 0, free, false, -30}}},  /* Setup's OK began a new cycle */
        /* The record cannot be written: still once in this run. */
        {__LINE__, -10, 7, -10, {{0, 3, 0, free, true, -10}, {0, 3, 1, free, false, -10}, {1, 3, 0, free, false, -10}},
         true},
        /* Held while away, and recorded only when it shows. */
        {__LINE__, -10, 7, -10, {{0, 3, 0, away, false, -10}, {0, 4, 0, away, false, -10},
                                 {0, 5, 0, free, true, 0}, {0, 5, 1, free, false, 0}}},
        /* Every day is due: today's own warning, at its time. */
        {__LINE__, -10, 1, -5, {{0, 3, 0, free, false, -5}, {0, 7, 29, free, true, 0}}},
        {__LINE__, -10, -7, -10, {{0, 3, 0, free, true, 0}}},
        /* A warning time beyond the day never comes, caught up or not. */
        {__LINE__, -10, 7, -10, {{0, 3, 0, free, false, -10}, {1, 23, 59, free, false, -10}}, false, 30},
        /* The next due day's own warning, then nothing owed after it. */
        {__LINE__, -10, 7, -3, {{4, 7, 29, free, true, 4}, {5, 0, 0, free, false, 4}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        fake::Reset();
        reminderState = ReminderState{};
        StoreCycle(T + c.start, c.period, c.hours);
        if (c.record != none)
            fake::SetText(SETTING_LAST_WARNING_DAY, std::to_string(T + c.record));
        if (c.readOnly)
            fake::ReadOnlyKey(OPTIONS_PATH);
        for (const auto &s : c.steps) {
            fake::notificationState = s.state;
            size_t alarms = fake::sounds.size();
            EXPECT_EQ(CheckAt(20 + s.day, s.hour, s.minute), s.warns) << "day T+" << s.day << " " << s.hour << ":" << s.minute;
            EXPECT_EQ(fake::sounds.size() - alarms, s.warns ? 1u : 0u);
            EXPECT_EQ(ReadSettingInt(SETTING_LAST_WARNING_DAY), s.record == none ? 0 : T + s.record);
        }
    }
}

TEST_F(Check, ARestartOnADueDayDoesNotRepeatItsWarning)
{
    /* A new run on due day T (20 March), checked at the time and at 23:59, with the last
       warning day as stored, and OK answered today or not. */
    const int none = INT_MIN;
    const struct {
        int line;
        int record, hour, minute;
        int warnings;
        bool done = false;
    } cases[] = {
        {__LINE__, 0, 12, 0, 0},     /* shown today, then restarted */
        {__LINE__, 0, 7, 29, 0},     /* restarted in the minute it was shown in */
        {__LINE__, -1, 12, 0, 1},    /* shown yesterday */
        {__LINE__, none, 12, 0, 1},  /* no record: as before */
        {__LINE__, 1, 12, 0, 0},     /* the clock set back */
        {__LINE__, 0, 6, 0, 1},      /* today's was an earlier one, before the warning time */
        {__LINE__, 0, 6, 0, 0, true}, /* and answered OK: done for the day */
    };
    for (const auto &c : cases) {
        reminderState = ReminderState{};
        StoreCycle(2994, 7);
        fake::DeleteValue(OPTIONS_PATH, SETTING_LAST_WARNING_DAY);
        fake::DeleteValue(OPTIONS_PATH, SETTING_DONE_DAY);
        if (c.record != none)
            fake::SetText(SETTING_LAST_WARNING_DAY, std::to_string(3001 + c.record));
        if (c.done)
            fake::SetText(SETTING_DONE_DAY, "3001");
        EXPECT_EQ(CheckAt(20, c.hour, c.minute) + CheckAt(20, 23, 59), c.warnings) << "case at line " << c.line;
    }
}

TEST_F(Check, APostponedWarningComesOnceAtItsMomentAndNoneBefore)
{
    /* T is 20 March 2009, day 3001; the warning time is 07:29. Each step is one check, whose
       warning is answered at once; a restart begins a new run first. Moments are minutes
       from T's midnight. */
    const int free = QUNS_ACCEPTS_NOTIFICATIONS, away = QUNS_NOT_PRESENT, none = INT_MIN, T = 3001;
    struct Step {
        int day, hour, minute;
        bool warns;
        int answer = ANSWER_DONE;
        bool restart = false;
        int state = free;
    };
    const struct {
        int line;
        int period;
        std::vector<Step> steps;
        long long stored = none; /* before the first step */
        long long storedAfter = none;
        bool readOnly = false;
    } cases[] = {
        {__LINE__, 7, {{0, 7, 29, true, ANSWER_IN_1_HOUR}, {0, 7, 45, false, ANSWER_DONE, true}, {0, 8, 28, false},
                       {0, 8, 29, true, ANSWER_IN_1_HOUR}}, none, 9 * 60 + 29},
        {__LINE__, 7, {{0, 7, 29, true, ANSWER_TOMORROW}, {0, 23, 59, false}, {1, 7, 28, false}, {1, 7, 29, true},
                       {1, 7, 30, false}}},
        /* Every day due: the postponed warning at 02:10, answered OK, stands for the day's own
           at 07:29, with or without a restart between them. */
        {__LINE__, 1, {{0, 22, 10, true, ANSWER_IN_4_HOURS}, {1, 2, 9, false}, {1, 2, 10, true},
                       {1, 3, 0, false, ANSWER_DONE, true}, {1, 7, 29, false}}},
        {__LINE__, 1, {{0, 22, 10, true, ANSWER_IN_4_HOURS}, {1, 2, 10, true}, {1, 7, 29, false}}},
        /* OK clears it; the next warning is the next due day's. */
        {__LINE__, 7, {{0, 7, 29, true, ANSWER_IN_1_HOUR}, {0, 8, 29, true}, {0, 9, 0, false}, {7, 7, 29, true}}},
        {__LINE__, 7, {{0, 7, 29, true, ANSWER_IN_1_HOUR}, {0, 11, 0, true, ANSWER_DONE, true}}}, /* off at 08:30 */
        {__LINE__, 7, {{0, 7, 29, true, ANSWER_IN_1_HOUR}, {0, 8, 29, false, ANSWER_DONE, false, away},
                       {0, 9, 9, false, ANSWER_DONE, false, away}, {0, 9, 10, true}}},
        /* Further ahead than any answer sets: at the next check; two days ahead waits. */
        {__LINE__, 7, {{-2, 12, 0, true}}, 12 * 60 + 1},
        {__LINE__, 7, {{-2, 12, 0, false}}, 12 * 60, 12 * 60},
        /* Nothing can be stored: it still holds, once, for this run. */
        {__LINE__, 7, {{0, 7, 29, true, ANSWER_IN_1_HOUR}, {0, 8, 0, false}, {0, 8, 29, true}, {0, 8, 30, false}},
         none, none, true},
        /* One that came cannot be cleared: it does not come again in this run. */
        {__LINE__, 7, {{-1, 9, 0, true}, {-1, 9, 1, false}}, -1440 + 8 * 60, -1440 + 8 * 60, true},
        /* The postponed warning and the day's own at one check: one warning. */
        {__LINE__, 1, {{0, 7, 29, true, ANSWER_TOMORROW}, {1, 7, 29, true}, {1, 7, 30, false}}},
        /* The day's own warning falls due while postponed: it comes with the postponed one. */
        {__LINE__, 1, {{0, 5, 0, true, ANSWER_IN_4_HOURS}, {0, 7, 29, false}, {0, 9, 0, true}, {0, 9, 1, false},
                       {1, 7, 29, true}}, 5 * 60},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        fake::Reset();
        reminderState = ReminderState{};
        StoreCycle(T - 7, c.period);
        fake::SetText(SETTING_LAST_WARNING_DAY, std::to_string(T - 7));
        if (c.stored != none)
            fake::SetText(SETTING_POSTPONED_UNTIL, std::to_string(T * 1440LL + c.stored));
        if (c.readOnly)
            fake::ReadOnlyKey(OPTIONS_PATH);
        for (const auto &s : c.steps) {
            if (s.restart)
                reminderState = ReminderState{};
            fake::notificationState = s.state;
            fake::warningAnswer = s.answer;
            fake::tickCount = 60000u * (DWORD) ((s.day * 24 + s.hour) * 60 + s.minute + 1440); /* real time passes */
            size_t alarms = fake::sounds.size();
            EXPECT_EQ(CheckAt(20 + s.day, s.hour, s.minute), s.warns) << "day T+" << s.day << " " << s.hour << ":" << s.minute;
            EXPECT_EQ(fake::sounds.size() - alarms, s.warns ? 1u : 0u);
        }
        EXPECT_EQ(ReadSettingLong(SETTING_POSTPONED_UNTIL), c.storedAfter == none ? 0 : T * 1440LL + c.storedAfter);
    }
}

TEST_F(Check, EachWarningAndItsAnswerAreOnRecord)
{
    const long long T = 3001 * 1440LL; /* 20 March 2009, due at 07:29 */
    const struct {
        int day, hour, answer;
        long long postponed; /* stored, from T */
        std::vector<std::pair<DWORD, long long>> events;
    } cases[] = {
        {20, 7, ANSWER_DONE, 0, {{EVENT_WARNING_SHOWN, 0}, {EVENT_FILTERS_CLEANED, 0}}},
        {20, 9, ANSWER_IN_1_HOUR, 0, {{EVENT_WARNING_CAUGHT_UP, 0}, {EVENT_WARNING_LATER, T + 629}}},
        {21, 6, ANSWER_NONE, 0, {{EVENT_WARNING_CAUGHT_UP, 0}, {EVENT_WARNING_UNANSWERED, 0}}}, /* owed */
        {22, 8, ANSWER_TOMORROW, 2909, {{EVENT_WARNING_BACK, 0}, {EVENT_WARNING_LATER, T + 4769}}},
    };
    for (const auto &c : cases) {
        fake::Reset();
        reminderState = ReminderState{};
        StoreCycle(2994, 7);
        fake::SetText(SETTING_LAST_WARNING_DAY, "2994");
        fake::SetText(SETTING_POSTPONED_UNTIL, c.postponed ? std::to_string(T + c.postponed) : "");
        fake::warningAnswer = c.answer;
        EXPECT_TRUE(CheckAt(c.day, c.hour, 29));
        EXPECT_EQ(fake::events, c.events) << "day " << c.day;
    }
}

TEST_F(Check, FirstRunRecordsTheStartAsTheLastWarningDay)
{
    EXPECT_FALSE(CheckAt(13, 9, 0));
    EXPECT_EQ(ReadSettingInt(SETTING_LAST_WARNING_DAY), 2994);
    EXPECT_TRUE(reminderState.startRecorded);
    /* Off through the first due day: its warning comes at the next start. */
    reminderState = ReminderState{};
    EXPECT_TRUE(CheckAt(21, 6, 0));
    EXPECT_EQ(ReadSettingInt(SETTING_LAST_WARNING_DAY), 3002);
}

TEST_F(Check, UnreadableRegistryNeverWarns)
{
    fake::FailKey("Software\\Quilmaren Filters");
    for (int day = 13; day <= 31; day++)
        EXPECT_FALSE(CheckAt(day, 9, 0)) << day;
}

} // namespace
