/* The reminder check. Beyond "a due day, at its time", in the order the code asks:

   situation at a check                                  what the check does
   no start day stored (first run)                       records today as start and record; none
   a record or OK day more than 2 days ahead             counts as the day before, stored so
   a due day passed unseen after the record and the      warns at the first check of a later day
     last OK (owed)                                        (on a due day, at its time)
   a due day whose warning was given already (recorded   none that day; in its minute again only
     that day after its time, or later), or OK that day    when the clock was set back over it,
                                                           and not after OK that day
   a postponement waits (its moment ahead, 2 days most;  none; what falls due meanwhile pends
     by hours, real time in this run)
   a postponement's moment has come                      warns, standing for all that fell due
   the person away or busy (held)                        waits: away until back, busy 2 hours most
   a warning already open                                the alarm again and the open one to the
                                                           front; it counts as shown, and its
                                                           answer stands for all held meanwhile */
#include "reminder.h"

ReminderState reminderState;
HINSTANCE hInst; /* the module, set by WinMain before the first check */
int warningsUnderWay;

/* The minute of the day of a moment, also before 2001, where day numbers are negative. */
static long long MinuteOf(long long moment)
{
    return (moment % MINUTES_PER_DAY + MINUTES_PER_DAY) % MINUTES_PER_DAY;
}

/* Is day a whole, non-zero number of periods from the start, either way? Wide arithmetic:
   hand-edited extremes must not overflow. */
static int IsDueDay(long long day, long long start, long long period)
{
    return day != start && (day - start) % period == 0;
}

/* The first due day after day; step is the period's size. */
static long long NextDueDay(long long day, long long start, long long step)
{
    long long next = day + step - ((day - start) % step + step) % step;
    return next == start ? next + step : next;
}

/* The last day before day a whole number of periods from the start (the start itself, or
   one before it, when no due day after the start has come yet). */
static long long PreviousDueDay(long long day, long long start, long long step)
{
    long long back = ((day - start) % step + step) % step;
    return day - (back ? back : step);
}

/* The last due day after the start before day, if no warning came since in this run;
   else 0. */
static long long UnseenDueDay(long long day, long long start, long long period)
{
    long long missed = PreviousDueDay(day, start, period < 0 ? -period : period);
    return missed > start && missed > reminderState.lastWarningDay ? missed : 0;
}

/* Days before an organisation's first day are not due: unlike those before a start of the
   person's own (a clock set back), the schedule has not begun there. */
static int BeforePolicyStart(long long day, long long start)
{
    return day < start && ReadPolicyFirstDay();
}

/* Did that day pass after the stored last warning, and after the last OK (also as older
   copies stored it: a day answered OK is never owed)? Without a record nothing is owed:
   the rules of older copies. */
static int IsOwed(long long missed, long long record, long long done)
{
    return missed && record != 0 && missed > record && missed > done && missed > reminderState.doneDay;
}

/* The warning's minute of the day; outside 0-1439 for hand-edited times. Both settings are
   stored as value + 1: (hours - 1) * 60 + (minutes - 1) is hours * 60 + minutes - 61. */
long long WarningTarget(void)
{
    long long hours = ReadAppliedOr(SETTING_HOURS, DEFAULT_HOURS);
    long long minutes = ReadAppliedOr(SETTING_MINUTES, DEFAULT_MINUTES);
    return hours * 60 + minutes - 61;
}

/* Was that day answered OK, as stored (done) or in this run? */
static int DoneOn(long long day, long long done)
{
    return done == day || reminderState.doneDay == day;
}

/* Was a due day's warning given before its first check in this run (a restart after it)?
   A record of that day from a check before the warning time was another warning, held
   from the day before or postponed, unless it was answered OK: done is done. A record
   ahead of it: the clock was set back. */
static int GivenAlready(long long day, long long minute, long long record, long long done, long long target)
{
    return record > day || (record == day && minute >= target) || DoneOn(day, done);
}

/* A day kept more than slack days ahead of today (a clock once set ahead, then corrected)
   counts as the day before: else every due day until then would count as given. */
static void ForgetDayAhead(int *day, long long today, int slack)
{
    if (*day > today + slack)
        *day = (int) today - 1;
}

/* A stored day, read only where it matters; one too far ahead is stored as it counts. */
static long long StoredDay(const char *name, long long today)
{
    int day = ReadSettingInt(name), kept = day;
    ForgetDayAhead(&day, today, 2);
    if (day != kept)
        WriteSettingInt(day, name);
    return day;
}

/* A warning given today, or an OK: the record moves forward only, so that a clock set back
   a day does not bring the days given since again. */
void RecordWarningDay(DayNumber today)
{
    if (reminderState.lastWarningDay < today)
        reminderState.lastWarningDay = today;
    if (ReadSettingInt(SETTING_LAST_WARNING_DAY) < today)
        WriteSettingInt(today, SETTING_LAST_WARNING_DAY);
}

/* Setup's OK: today begins a new cycle and counts as its last warning day, as on the first
   run, so that no record of an older cycle (a clock set back since) holds a due day back. */
void StartCycle(void)
{
    DayNumber today = GetDayNumber();
    /* An organisation's first day keeps the cycle: the record stays, so a due day of today
       still comes. */
    if (!PolicyManages(SETTING_START_DAY)) {
        WriteSettingInt(today, SETTING_START_DAY);
        WriteSettingInt(today, SETTING_LAST_WARNING_DAY);
        reminderState.lastWarningDay = today;
        reminderState.lastDueDay = 0;
    }
    int done = ReadSettingInt(SETTING_DONE_DAY), kept = done;
    ForgetDayAhead(&done, today, 0);
    if (done != kept)
        WriteSettingInt(done, SETTING_DONE_DAY);
    ForgetDayAhead(&reminderState.doneDay, today, 0);
}

/* Is today a whole, non-zero number of periods from the start day? Records the start
   day on the first run, and marks a newly seen due day as pending unless its warning was
   given already. On other days, a due day that passed unseen (the computer off or asleep)
   is owed, unless its time never comes. */
int IsWarningDay(void)
{
    int start = ReadAppliedSetting(SETTING_START_DAY);
    DayNumber today = GetDayNumber();

    if (start == 0) {
        WriteSettingInt(today, SETTING_START_DAY);
        WriteSettingInt(today, SETTING_LAST_WARNING_DAY);
        reminderState.startRecorded = 1;
        return DAY_NOT_DUE;
    }
    ForgetDayAhead(&reminderState.lastWarningDay, today, 2);
    ForgetDayAhead(&reminderState.doneDay, today, 2);

    int period = ReadAppliedOr(SETTING_FREQUENCY, DEFAULT_FREQUENCY);
    if (!IsDueDay(today, start, period) || BeforePolicyStart(today, start)) {
        /* The record is read only when a day could be owed: not once a warning came in this
           run; the last OK only when the record owes it. */
        long long missed = UnseenDueDay(today, start, period);
        long long record = missed ? StoredDay(SETTING_LAST_WARNING_DAY, today) : 0;
        return IsOwed(missed, record, missed > record ? StoredDay(SETTING_DONE_DAY, today) : 0) &&
                       WarningTarget() < MINUTES_PER_DAY
                   ? DAY_OWED
                   : DAY_NOT_DUE;
    }

    if (today != reminderState.lastDueDay) {
        reminderState.lastDueDay = today;
        reminderState.warningPending =
            !GivenAlready(today, MinuteOf(MomentNow()), StoredDay(SETTING_LAST_WARNING_DAY, today),
                          StoredDay(SETTING_DONE_DAY, today), WarningTarget());
    }
    return DAY_DUE;
}

/* Has the warning minute come? Pending warnings catch up. One given already comes again
   only in its exact minute after the clock was set back over it (the autumn change, say),
   on a day not answered OK: never at a second check in the minute it was shown in, nor
   after a restart. */
int IsWarningTime(void)
{
    long long now = MomentNow(), minute = MinuteOf(now);
    long long target = WarningTarget();

    if (reminderState.warningPending)
        return minute >= target;
    return minute == target && reminderState.latestMoment > now &&
           !DoneOn(GetDayNumber(), ReadSettingInt(SETTING_DONE_DAY));
}

/* When the check will next warn, if it runs once a minute from (day, minute) on: the same
   rules, the stored settings and the current state, played forward. Answers 0 when no check
   ever will (a time beyond the day). A minute of 1440 is the next day's first. */
int ForecastWarning(DayNumber day, int minute, ReminderForecast *when)
{
    long long start = ReadAppliedSetting(SETTING_START_DAY);
    long long period = ReadAppliedOr(SETTING_FREQUENCY, DEFAULT_FREQUENCY);
    long long record = ReadSettingInt(SETTING_LAST_WARNING_DAY);
    long long target = WarningTarget();
    long long d = day, from = minute;
    if (from >= MINUTES_PER_DAY) {
        d++;
        from = 0;
    }
    /* A postponed warning comes at its moment and covers all that falls due before it. */
    long long until = PostponedUntil(), at = d * MINUTES_PER_DAY + from;
    if (until) {
        if (PostponementWaits(until, at))
            at = until;
        when->day = at / MINUTES_PER_DAY;
        when->minute = (int) (at % MINUTES_PER_DAY);
        return 1;
    }
    if (target >= MINUTES_PER_DAY)
        return 0;
    if (start == 0) {
        start = record = d; /* the first check records its own day */
    } else if (BeforePolicyStart(d, start)) {
        d = start;
        from = 0;
    }
    long long step = period < 0 ? -period : period;
    long long done = ReadSettingInt(SETTING_DONE_DAY), latest = reminderState.latestMoment;
    long long lastDueDay = reminderState.lastDueDay;
    int pending = reminderState.warningPending;
    /* Nothing is shown until the answer, so the record stays. A pending day always warns;
       a day given already only in its minute once the clock was set back over it, and the
       day after it warns if owed, or the next due day at the latest. */
    for (;;) {
        if (!IsDueDay(d, start, period)) {
            if (IsOwed(UnseenDueDay(d, start, period), record, done))
                break; /* at its first check */
            d = NextDueDay(d, start, step);
            from = 0;
            continue;
        }
        if (d != lastDueDay) {
            lastDueDay = d;
            pending = !GivenAlready(d, from, record, done, target);
        }
        if (pending || (target >= from && latest > d * MINUTES_PER_DAY + target && !DoneOn(d, done))) {
            from = pending && from > target ? from : target;
            break;
        }
        /* Every day before the record's was given already: straight there, unless the clock
           was set back over one of them. Bounded whatever is stored. */
        d = record > d + 1 && latest < (d + 1) * MINUTES_PER_DAY ? record : d + 1;
        from = 0;
    }
    when->day = d;
    when->minute = (int) from;
    return 1;
}

typedef BOOL(WINAPI *PlaySoundProc)(LPCSTR sound, HMODULE module, DWORD flags);

/* Loads a DLL from the system directory only. winmm is not a known DLL, so a plain load
   would search the program's folder first, where a planted copy (in Downloads, say) would
   run with the user's rights. */
HMODULE LoadSystemLibrary(LPCSTR name)
{
    HMODULE module = LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;

    /* The flag is unknown before KB2533623: name the file by its full path instead, in wide
       characters, as Windows may be installed in a folder the code page cannot spell. */
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    int size = lstrlenA(name);
    if (length == 0 || length + 1 + size >= MAX_PATH)
        return NULL;
    path[length] = L'\\';
    for (int i = 0; i <= size; i++)
        path[length + 1 + i] = (unsigned char) name[i]; /* our DLLs' names are ASCII */
    return LoadLibraryW(path);
}

/* Plays the alarm synchronously. winmm is loaded when the first alarm sounds: linked in,
   it (and what it pulls in) costs every idle copy of the program about 2 MiB. */
static void PlayAlarm(void)
{
    static PlaySoundProc play;
    if (!play) {
        HMODULE winmm = LoadSystemLibrary("winmm.dll");
        if (winmm)
            play = (PlaySoundProc) (void (*)(void)) GetProcAddress(winmm, "PlaySoundA");
    }
    if (play)
        play("ALARM", hInst, SND_RESOURCE);
}

/* The once-a-minute check: alarm, then the modal warning when due or owed, or when a
   postponed one comes again, unless the person is away or busy; a held warning is shown at
   the first check that may interrupt. The person's answer is acted on here. */
void CheckReminder(void)
{
    int day = IsWarningDay();
    int due = day == DAY_OWED || (day == DAY_DUE && IsWarningTime());
    long long moment = MomentNow();
    if (moment > reminderState.latestMoment)
        reminderState.latestMoment = moment;
    long long until = PostponedUntil();
    if (until) {
        /* Whatever falls due meanwhile still pends, and comes with the postponed warning. */
        if (PostponementWaits(until, moment))
            return;
        reminderState.postponeServed = until;
    }
    if (!due && !until && !reminderState.warningHeld)
        return;

    DWORD now = GetTickCount();
    DayNumber today = GetDayNumber();
    if (due || until) {
        /* Shown or held, it no longer pends nor is owed. One already held stays the one warning. */
        if (due)
            reminderState.warningPending = 0;
        if (reminderState.lastWarningDay < today)
            reminderState.lastWarningDay = today;
        if (!reminderState.warningHeld)
            reminderState.heldSince = now;
    }
    /* Decided before the dialog: checks re-entered from its modal loop see the fired state. */
    reminderState.warningHeld = HoldingState(now - reminderState.heldSince);
    if (reminderState.warningHeld)
        return;

    /* Recorded before it shows, so a restart or a crash while it is open owes nothing. A
       postponement stays stored until the person answers. */
    RecordWarningDay(today);
    /* One at a time: a second copy over the first would have two answers, the one beneath
       undoing the one on top. The open one's answer stands for both. */
    if (warningsUnderWay) {
        PlayAlarm();
        BringDialogForward();
        return;
    }
    warningsUnderWay++;
    PlayAlarm();
    /* On record as it shows: back from Later, after its minute (owed, held, started late), or on time. */
    RecordWarningEvent(until ? EVENT_WARNING_BACK
                       : day == DAY_OWED || MinuteOf(moment) > WarningTarget() ? EVENT_WARNING_CAUGHT_UP
                                                                               : EVENT_WARNING_SHOWN,
                       0);
    int answer = ShowWarning();
    warningsUnderWay--;
    if (answer != ANSWER_NONE)
        AnswerWarning(answer, today);
    else
        RecordWarningEvent(EVENT_WARNING_UNANSWERED, 0);
}
