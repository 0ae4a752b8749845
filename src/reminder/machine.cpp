/* The machine's defaults: what an administrator's install set for everyone on the PC. */
#include "reminder.h"

#include <string.h>

/* Two digits, 00 to limit - 1; else -1. */
static int TwoDigits(const char *text, int limit)
{
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9')
        return -1;
    int value = (text[0] - '0') * 10 + text[1] - '0';
    return value < limit ? value : -1;
}

/* The machine's default for a per-person setting, in that setting's own encoding (hours and
   minutes + 1); 0 where there is none, or it is not one the installer accepts: a hand edit
   out of range leaves the program's own default. */
int MachineDefault(const char *name)
{
    char text[SETTING_BUFFER_SIZE] = "";
    DWORD size = sizeof text - 1, type = REG_NONE;
    int frequency = !strcmp(name, SETTING_FREQUENCY), hours = !strcmp(name, SETTING_HOURS);
    if (!frequency && !hours && strcmp(name, SETTING_MINUTES))
        return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MACHINE_DEFAULTS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    LONG result = RegQueryValueExA(key, frequency ? SETTING_FREQUENCY : MACHINE_WARNING_TIME, NULL, &type,
                                   (LPBYTE) text, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    text[size] = '\0';
    if (frequency) {
        /* 1 to 100, as plain digits */
        int days = 0, i = 0;
        for (; text[i] >= '0' && text[i] <= '9' && i < 3; i++)
            days = days * 10 + text[i] - '0';
        return !text[i] && i && days >= 1 && days <= 100 ? days : 0;
    }
    /* "HH:MM" exactly */
    int hour = TwoDigits(text, 24), minute = TwoDigits(text + 3, 60);
    if (lstrlenA(text) != 5 || text[2] != ':' || hour < 0 || minute < 0)
        return 0;
    return hours ? hour + 1 : minute + 1;
}
