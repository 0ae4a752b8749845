/* Every warning and answer on record in the Application event log, where Event Viewer,
   Event Forwarding and monitoring systems collect them. Only under a registered source: an
   unregistered one writes records whose IDs nothing can turn into text. */
#include "reminder.h"

/* The user this process runs as, into buffer; NULL when the token will not say. */
static PSID CurrentUserSid(void *buffer, DWORD size)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return NULL;
    BOOL known = GetTokenInformation(token, TokenUser, buffer, size, &size);
    CloseHandle(token);
    return known ? ((TOKEN_USER *) buffer)->User.Sid : NULL;
}

/* A moment as "YYYY-MM-DD HH:MM", the same in every language. */
static void FormatEventMoment(long long moment, WCHAR *text)
{
    SYSTEMTIME date;
    long long day = moment / MINUTES_PER_DAY;
    int minute = (int) (moment % MINUTES_PER_DAY);
    if (!DayNumberToDate(day, &date))
        lstrcpyW(text, L"?");
    else
        wsprintfW(text, L"%04u-%02u-%02u %02i:%02i", date.wYear, date.wMonth, date.wDay, minute / 60, minute % 60);
}

/* Writes the record id (with the moment, for Later) as the current user. Nothing else
   depends on it: a source not registered (a per-user install) or a full or stopped log
   loses the record and nothing more. */
void RecordWarningEvent(DWORD id, long long moment)
{
    HKEY registered;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EVENT_SOURCE_KEY, 0, KEY_QUERY_VALUE, &registered) != ERROR_SUCCESS)
        return;
    RegCloseKey(registered);
    HANDLE log = RegisterEventSourceW(NULL, EVENT_SOURCE);
    if (!log)
        return;
    DWORD_PTR user[(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD_PTR) + 1]; /* aligned */
    WCHAR when[40];
    LPCWSTR strings[1] = {when};
    FormatEventMoment(moment, when);
    ReportEventW(log, EVENTLOG_INFORMATION_TYPE, 0, id, CurrentUserSid(user, sizeof user),
                 id == EVENT_WARNING_LATER ? 1 : 0, 0, id == EVENT_WARNING_LATER ? strings : NULL, NULL);
    DeregisterEventSource(log);
}
