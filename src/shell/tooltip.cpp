#include "reminder.h"
#include "shell.h"

/* "<date> at <time>" of a day and a minute of it, in the user's short date and time without
   seconds; the time alone for today when the date goes without saying. */
static BOOL FormatMoment(long long day, int minute, BOOL dateAlways, char *text, int size)
{
    SYSTEMTIME at;
    char date[64], time[64];
    if (!DayNumberToDate(day, &at))
        return FALSE;
    at.wHour = (WORD) (minute / 60);
    at.wMinute = (WORD) (minute % 60);
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &at, NULL, date, sizeof date) ||
        !GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &at, NULL, time, sizeof time))
        return FALSE;
    char both[sizeof date + sizeof time + 8];
    if (dateAlways || day != GetDayNumber())
        wsprintfA(both, "%s at %s", date, time);
    else
        lstrcpynA(both, time, sizeof both);
    lstrcpynA(text, both, size);
    return TRUE;
}

/* When the next reminder comes, into when; or why none will: the reason. Made after a
   check, from the next one on, since this minute's has run. */
const char *NextReminder(char *when, int size)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    ReminderForecast next;
    /* Every check has recorded a start day by now: none stored means none can be. */
    if (!ReadSettingInt(SETTING_START_DAY))
        return "no reminder, the settings cannot be saved";
    if (!ForecastWarning(GetDayNumber(), now.wHour * 60 + now.wMinute + 1, &next))
        return "no reminder, the time setting is out of range";
    if (!FormatMoment(next.day, next.minute, TRUE, when, size))
        return "no reminder, the day settings are out of range";
    return NULL;
}

/* The tooltip: when the next reminder comes, or why none is coming now. */
void FormatTrayTip(char *tip, int size)
{
    char when[TRAY_TIP_SIZE];
    const char *text = NULL, *lead = "reminder postponed to";
    long long until = PostponedUntil();

    if (reminderState.warningHeld == QUNS_NOT_PRESENT)
        text = "reminder waiting until you are back";
    else if (reminderState.warningHeld)
        text = "reminder waiting while you are busy";
    else if (!until || !PostponementWaits(until, MomentNow()) ||
             !FormatMoment(until / MINUTES_PER_DAY, (int) (until % MINUTES_PER_DAY), FALSE, when, sizeof when)) {
        lead = "next reminder";
        text = NextReminder(when, sizeof when);
    }

    char full[TRAY_TIP_SIZE + 64];
    if (text)
        wsprintfA(full, "%s: %s", PRODUCT_NAME, text);
    else
        wsprintfA(full, "%s: %s %s", PRODUCT_NAME, lead, when);
    lstrcpynA(tip, full, size);
}
