/* What keeps a warning from showing now: the person away or busy, or a postponement. */
#include "reminder.h"

int sessionLocked;

typedef HRESULT(WINAPI *QueryNotificationStateProc)(QUERY_USER_NOTIFICATION_STATE *state);

/* What Windows says of interrupting the person now. Looked up at run time: where the call is
   missing or fails, a warning may always interrupt, as it did before. */
static int UserNotificationState(void)
{
    QueryNotificationStateProc query = (QueryNotificationStateProc) (void (*)(void)) GetProcAddress(
        GetModuleHandleA("shell32.dll"), "SHQueryUserNotificationState");
    QUERY_USER_NOTIFICATION_STATE state;
    if (!query || FAILED(query(&state)))
        return QUNS_ACCEPTS_NOTIFICATIONS;
    return state;
}

/* What holds a due warning back now: the notification state, or 0 when it may be shown.
   Away (locked, screen saver, another session) holds it until the person is back; busy
   (full screen, presenting, quiet time) for a while at most. */
int HoldingState(DWORD msDue)
{
    if (sessionLocked)
        return QUNS_NOT_PRESENT;
    int state = UserNotificationState();
    switch (state) {
    case QUNS_NOT_PRESENT: return state;
    case QUNS_BUSY:
    case QUNS_RUNNING_D3D_FULL_SCREEN:
    case QUNS_PRESENTATION_MODE:
    case QUNS_QUIET_TIME:
    case QUNS_APP: return msDue < BUSY_HOLD_MS ? state : 0;
    default: return 0;
    }
}

/* "In 1 hour" and "In 4 hours" count real time: when the wall clock is set (daylight
   saving, a correction) before the moment comes, this run's postponement moves with it.
   Stored in local time still, as older copies read it. */
static void FollowClockChange(void)
{
    long long left = reminderState.postponedFor - (long long) ((GetTickCount() - reminderState.postponedAt) / 60000);
    long long until = MomentNow() + (left > 0 ? left : 0), kept = reminderState.postponedUntil;
    if (!reminderState.postponedFor || kept == reminderState.postponeServed || (until - kept < 2 && kept - until < 2))
        return;
    if (until == reminderState.postponeServed)
        until++; /* else it would read as one that came */
    if (ReadSettingLong(SETTING_POSTPONED_UNTIL) == kept)
        WriteSettingLong(until, SETTING_POSTPONED_UNTIL);
    reminderState.postponedUntil = until;
}

/* The moment a postponed warning comes again, or 0. The stored one counts until its warning
   has come in this run; where none could be stored, this run's own. */
long long PostponedUntil(void)
{
    FollowClockChange();
    long long stored = ReadSettingLong(SETTING_POSTPONED_UNTIL);
    long long served = reminderState.postponeServed;
    if (stored && stored != served)
        return stored;
    return reminderState.postponedUntil != served ? reminderState.postponedUntil : 0;
}

/* Does a postponement to until still hold at now? Not once it has come, nor when it lies
   further ahead than any answer sets (a clock set ahead, a hand edit): that one comes now. */
int PostponementWaits(long long until, long long now)
{
    return until > now && until - now <= POSTPONE_LIMIT_MINUTES;
}

/* Acts on the person's answer to a warning shown on shownDay: done clears any postponement
   and stands for today's own warning too; the others store when it comes again. Kept for
   this run too, in case it cannot be stored. It stands for all held while it was open. */
void AnswerWarning(int answer, DayNumber shownDay)
{
    long long now = MomentNow(), until = 0, target;
    DayNumber today;
    reminderState.warningHeld = 0;
    switch (answer) {
    case ANSWER_IN_1_HOUR: until = now + 60; break;
    case ANSWER_IN_4_HOURS: until = now + 4 * 60; break;
    case ANSWER_TOMORROW:
        /* The day after the one it was shown on, at the warning time, so an answer after
           midnight means today; one already past means the next day's. A time outside the
           day has none: a day from now. */
        target = WarningTarget();
        if (target < 0 || target >= MINUTES_PER_DAY) {
            until = now + MINUTES_PER_DAY;
            break;
        }
        until = ((long long) shownDay + 1) * MINUTES_PER_DAY + target;
        if (until <= now)
            until = ((long long) GetDayNumber() + 1) * MINUTES_PER_DAY + target;
        break;
    case ANSWER_DONE:
        today = GetDayNumber();
        reminderState.doneDay = today;
        if (reminderState.lastDueDay == today)
            reminderState.warningPending = 0;
        WriteSettingInt(today, SETTING_DONE_DAY);
        RecordWarningDay(today); /* given that day too, when answered on a later one */
        break;
    }
    reminderState.postponedUntil = until;
    reminderState.postponedFor = answer == ANSWER_IN_1_HOUR || answer == ANSWER_IN_4_HOURS ? (int) (until - now) : 0;
    reminderState.postponedAt = GetTickCount();
    if (until || ReadSettingLong(SETTING_POSTPONED_UNTIL))
        WriteSettingLong(until, SETTING_POSTPONED_UNTIL);
    RecordWarningEvent(answer == ANSWER_DONE ? EVENT_FILTERS_CLEANED : EVENT_WARNING_LATER, until);
}
