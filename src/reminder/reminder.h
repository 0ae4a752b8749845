/* Reminder core: day numbers, the stored settings and the decision to warn. */
#ifndef QUILMAREN_REMINDER_H
#define QUILMAREN_REMINDER_H

#include <windows.h>

/* Days counted from 1 January 2001 (day 1); only differences mean anything. */
typedef int DayNumber;

/* Registry location and value names of the settings. */
#define SETTINGS_PARENT_KEY "Software"
#define SETTINGS_PRODUCT_KEY "Quilmaren Filters"
#define SETTINGS_OPTIONS_KEY "Options"
#define SETTING_START_DAY "Total Day Count"
#define SETTING_FREQUENCY "Frequency"
#define SETTING_HOURS "Time~Hours"
#define SETTING_MINUTES "Time~Minutes"
/* The day a warning was last shown, or the cycle began: a due day after it passed unseen.
   Absent (as older copies leave it) means no record, and nothing is caught up. */
#define SETTING_LAST_WARNING_DAY "Last Warning Day"
/* When a postponed warning comes again: day number * 1440 + minute of the day, local time.
   Absent or 0: nothing is postponed. */
#define SETTING_POSTPONED_UNTIL "Postponed Until"
/* The day the person last answered a warning OK: that day's own warning is done too, even
   when it was not yet due. Absent: none. */
#define SETTING_DONE_DAY "Last Done Day"

/* What an organisation sets through Group Policy or Intune: REG_DWORD values (the first
   day REG_SZ, YYYY-MM-DD) under this key of the computer, which wins, and of the user. A
   value out of range or of another type counts as not set. */
#define POLICY_KEY "Software\\Policies\\Quilmaren Filters"
#define POLICY_FREQUENCY "Frequency"
#define POLICY_HOUR "WarningHour"
#define POLICY_MINUTE "WarningMinute"
#define POLICY_FIRST_DAY "FirstReminderDay"
#define POLICY_ALLOW_LATER "AllowLater"
#define POLICY_ALLOW_EXIT "AllowExit"
/* The machine's defaults, written by the per-machine installer: under HKLM (for this 32-bit
   program, Wow6432Node on 64-bit Windows), read where the person has chosen nothing. The
   frequency as stored per person; the time as "HH:MM". */
#define MACHINE_DEFAULTS_KEY "Software\\Quilmaren Filters\\Defaults"
#define MACHINE_WARNING_TIME "Warning Time"

/* Defaults for a setting that reads as 0. Hours and minutes are stored as their value + 1
   (1 means 00), so the defaults 8 and 30 mean 07:29, not 08:30. */
#define DEFAULT_FREQUENCY 7
#define DEFAULT_HOURS 8
#define DEFAULT_MINUTES 30

/* Size of the buffer every setting is read into. */
#define SETTING_BUFFER_SIZE 20

#define MINUTES_PER_DAY 1440
/* A warning held while the person is busy is shown anyway this long after it became due:
   some programs leave a full-screen window up for good. */
#define BUSY_HOLD_MS (120 * 60 * 1000)
/* A postponement further ahead than this (a clock set ahead, a hand edit) comes at once. */
#define POSTPONE_LIMIT_MINUTES (2 * MINUTES_PER_DAY)

/* How the person answered a warning: when it comes again, or done; ANSWER_NONE when it
   ended unanswered (the program closed under it, or it could not be shown). */
#define ANSWER_NONE 0
#define ANSWER_IN_1_HOUR 1
#define ANSWER_IN_4_HOURS 2
#define ANSWER_TOMORROW 3
#define ANSWER_DONE 4

/* Event log records of the warning and its answers; the texts are the program's message
   table (res/messages.mc). */
#define EVENT_SOURCE L"Quilmaren Filters"
#define EVENT_SOURCE_KEY "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quilmaren Filters"
#define EVENT_WARNING_SHOWN 1000
#define EVENT_WARNING_CAUGHT_UP 1001 /* shown after its minute: owed, held, or started late */
#define EVENT_WARNING_BACK 1002      /* a postponement's moment came */
#define EVENT_FILTERS_CLEANED 1010
#define EVENT_WARNING_LATER 1011 /* with the moment it comes back */
#define EVENT_WARNING_UNANSWERED 1012

/* What the day test finds. */
#define DAY_NOT_DUE 0
#define DAY_DUE 1  /* a due day: the time test decides */
#define DAY_OWED 2 /* not due, but a due day since the last warning passed unseen: warn now */

struct ReminderState {
    int lastDueDay;      /* most recent due day seen by IsWarningDay */
    int warningPending;  /* due day seen, warning not yet fired */
    int warningHeld;     /* a due warning waits: the notification state that holds it, else 0 */
    DWORD heldSince;     /* GetTickCount when it became due: steady, whatever the wall clock does */
    int lastWarningDay;  /* the day a warning was last shown or held in this run, else 0 */
    int startRecorded;   /* this run found no start day and recorded today */
    long long postponedUntil; /* the moment this run postponed to, kept where it cannot be stored */
    long long postponeServed; /* the postponed moment whose warning came last in this run */
    long long latestMoment;   /* the latest moment a check of this run saw: later than now,
                                 the clock was set back */
    int doneDay;              /* the day OK was last answered in this run, else 0 */
    int postponedFor;         /* minutes of real time this run's postponement counts, else 0 */
    DWORD postponedAt;        /* GetTickCount when it was answered */
};

/* When the next warning comes: a day number and a minute of that day. */
struct ReminderForecast {
    long long day;
    int minute;
};

extern ReminderState reminderState;
extern HINSTANCE hInst;
/* Nonzero while the session is locked or disconnected, as Windows tells the main window:
   a due warning waits as for a person away. */
extern int sessionLocked;
/* Warnings decided and not yet dismissed, counted from their alarm: a second start then
   brings the warning forward instead of opening Setup. */
extern int warningsUnderWay;

DayNumber GetDayNumber(void);
DayNumber DayNumberOf(const SYSTEMTIME *date);
int DayNumberToDate(long long day, SYSTEMTIME *date);
long long MomentNow(void);

void WriteSetting(const char *text, const char *name);
DWORD ReadSetting(char *buffer, const char *name);
int ReadSettingInt(const char *name);
long long ReadSettingLong(const char *name);
int ReadSettingOr(const char *name, int fallback); /* fallback when it reads as 0 */
int MachineDefault(const char *name);
void WriteSettingInt(int value, const char *name); /* as "%i" */
void WriteSettingLong(long long value, const char *name);
int ReadPolicyNumber(const char *name, int low, int high, int *value);
DayNumber ReadPolicyFirstDay(void);
int PolicyManages(const char *setting);
int ReadAppliedSetting(const char *name);
int ReadAppliedOr(const char *name, int fallback);
int PolicyAllows(const char *name);

void StartCycle(void);
void RecordWarningDay(DayNumber today);
int IsWarningDay(void);
int IsWarningTime(void);
long long WarningTarget(void);
void CheckReminder(void);
int ForecastWarning(DayNumber day, int minute, ReminderForecast *when);
long long PostponedUntil(void);
int PostponementWaits(long long until, long long now);
int HoldingState(DWORD msDue);
void AnswerWarning(int answer, DayNumber shownDay);
HMODULE LoadSystemLibrary(LPCSTR name);

/* Supplied by the dialogs: the modal warning, returning the person's answer once it is
   closed; and the open warning (else Setup) brought to the front. */
int ShowWarning(void);
BOOL BringDialogForward(void);
/* Writes one record to the Application event log; moment (day * 1440 + minute) for Later. */
void RecordWarningEvent(DWORD id, long long moment);

#endif
