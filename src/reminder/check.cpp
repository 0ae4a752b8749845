#include "reminder.h"

ReminderState reminderState;
HINSTANCE hInst; /* the module, set by WinMain before the first check */

/* Is today a whole, non-zero number of periods from the start day? Records the
   start day on the first run, and marks a newly seen due day as pending. */
int IsWarningDay(void)
{
    int start = ReadSettingInt(SETTING_START_DAY);
    DayNumber today = GetDayNumber();

    if (start == 0) {
        WriteSettingInt(today, SETTING_START_DAY);
        return 0;
    }

    int period = ReadSettingOr(SETTING_FREQUENCY, DEFAULT_FREQUENCY);
    if (today == start)
        return 0;

    /* Wide arithmetic: hand-edited extremes must not overflow. */
    long long difference = (long long) today - start;
    if (difference % period != 0)
        return 0;

    if (today != reminderState.lastDueDay) {
        reminderState.lastDueDay = today;
        reminderState.warningPending = 1;
    }
    return 1;
}

/* Has the warning minute come? Pending warnings catch up; otherwise only the exact minute. */
int IsWarningTime(void)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    long long minute = now.wHour * 60 + now.wMinute;

    long long hours = ReadSettingOr(SETTING_HOURS, DEFAULT_HOURS);
    long long minutes = ReadSettingOr(SETTING_MINUTES, DEFAULT_MINUTES);
    /* Both are stored as value + 1: (hours - 1) * 60 + (minutes - 1) is hours * 60 + minutes - 61. */
    long long target = hours * 60 + minutes - 61;

    if (reminderState.warningPending)
        return minute >= target;
    return minute == target;
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

    /* The flag is unknown before KB2533623: name the file by its full path instead. */
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH)
        return NULL;
    path[length] = '\\';
    lstrcpynA(path + length + 1, name, MAX_PATH - length - 1);
    return LoadLibraryA(path);
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

/* The once-a-minute check: alarm, then the modal warning when due. */
void CheckReminder(void)
{
    if (!IsWarningDay() || !IsWarningTime())
        return;

    PlayAlarm();
    /* Cleared before the dialog: checks re-entered from its modal loop see the fired state. */
    reminderState.warningPending = 0;
    ShowWarning();
}
