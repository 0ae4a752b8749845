#include "reminder.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

/* Closes whichever of the three keys were opened, innermost first. */
static void CloseSettingKeys(HKEY options, HKEY product, HKEY software)
{
    if (options)
        RegCloseKey(options);
    if (product)
        RegCloseKey(product);
    if (software)
        RegCloseKey(software);
}

/* Store text under a value name, creating the product and Options keys as needed. */
void WriteSetting(const char *text, const char *name)
{
    HKEY software = NULL, product = NULL, options = NULL;
    DWORD disposition;

    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_PARENT_KEY, 0, KEY_ALL_ACCESS, &software) == ERROR_SUCCESS &&
        RegCreateKeyExA(software, SETTINGS_PRODUCT_KEY, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &product, &disposition) == ERROR_SUCCESS &&
        RegCreateKeyExA(product, SETTINGS_OPTIONS_KEY, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &options, &disposition) == ERROR_SUCCESS)
        RegSetValueExA(options, name, 0, REG_SZ, (const BYTE *) text, lstrlenA(text) + 1);

    CloseSettingKeys(options, product, software);
}

/* Read a value into a 20-byte buffer without creating anything; the result is
   always a terminated string, empty when the value is missing or does not fit. */
DWORD ReadSetting(char *buffer, const char *name)
{
    HKEY software = NULL, product = NULL, options = NULL;
    DWORD size = SETTING_BUFFER_SIZE;
    LONG result = ERROR_FILE_NOT_FOUND;

    buffer[0] = '\0';
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_PARENT_KEY, 0, KEY_QUERY_VALUE, &software) == ERROR_SUCCESS &&
        RegOpenKeyExA(software, SETTINGS_PRODUCT_KEY, 0, KEY_QUERY_VALUE, &product) == ERROR_SUCCESS &&
        RegOpenKeyExA(product, SETTINGS_OPTIONS_KEY, 0, KEY_QUERY_VALUE, &options) == ERROR_SUCCESS)
        result = RegQueryValueExA(options, name, NULL, NULL, (LPBYTE) buffer, &size);

    CloseSettingKeys(options, product, software);

    /* Hand-edited data may be too long (buffer undefined), unterminated or not text. */
    if (result != ERROR_SUCCESS)
        buffer[0] = '\0';
    else
        buffer[size < SETTING_BUFFER_SIZE ? size : SETTING_BUFFER_SIZE - 1] = '\0';
    return size;
}

/* Stores a number as its decimal text, as "%i" would write it, in 64 bits. */
void WriteSettingLong(long long value, const char *name)
{
    char text[24], *at = text + sizeof text - 1;
    unsigned long long magnitude = value < 0 ? 0ULL - (unsigned long long) value : (unsigned long long) value;
    *at = '\0';
    do
        *--at = (char) ('0' + magnitude % 10);
    while (magnitude /= 10);
    if (value < 0)
        *--at = '-';
    WriteSetting(at, name);
}

void WriteSettingInt(int value, const char *name)
{
    WriteSettingLong(value, name);
}

/* A setting as a number by atoi rules, in 64 bits; 0 means not set. */
long long ReadSettingLong(const char *name)
{
    char buffer[SETTING_BUFFER_SIZE];
    ReadSetting(buffer, name);
    return strtoll(buffer, NULL, 10);
}

/* The same, saturated to the int range. */
int ReadSettingInt(const char *name)
{
    long long value = ReadSettingLong(name);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int) value;
}

/* A setting, or when it is not set (reads as 0) the machine's default, else the caller's. */
int ReadSettingOr(const char *name, int fallback)
{
    int value = ReadSettingInt(name);
    return value ? value : fallback;
}

/* The computer's policy first: it wins over the user's. */
static const HKEY policyRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

/* A number an organisation sets within low..high (low at least 0), into value; 0 where
   neither key holds a valid one. One that is absent, of another type or out of range counts
   as not set, and the user's may apply instead. An absent key costs one call each. */
int ReadPolicyNumber(const char *name, int low, int high, int *value)
{
    for (HKEY root : policyRoots) {
        DWORD data, size = sizeof data;
        if (RegGetValueA(root, POLICY_KEY, name, RRF_RT_REG_DWORD, NULL, &data, &size) == ERROR_SUCCESS &&
            data >= (DWORD) low && data <= (DWORD) high) {
            *value = (int) data;
            return 1;
        }
    }
    return 0;
}

/* The day number of a date written exactly YYYY-MM-DD, or 0: not such a date, or not one
   of the calendar's (a 30 February, a year before 2001). */
static DayNumber DayOfDateText(const char *text)
{
    int number[3] = {0, 0, 0}, part = 0;
    for (int i = 0; i < 10; i++) {
        if (i == 4 || i == 7) {
            if (text[i] != '-')
                return 0;
            part++;
        } else if (text[i] >= '0' && text[i] <= '9') {
            number[part] = number[part] * 10 + (text[i] - '0');
        } else {
            return 0;
        }
    }
    if (text[10] || number[1] < 1 || number[1] > 12 || number[2] < 1)
        return 0;
    SYSTEMTIME date = {}, back;
    date.wYear = (WORD) number[0];
    date.wMonth = (WORD) number[1];
    date.wDay = (WORD) number[2];
    DayNumber day = DayNumberOf(&date);
    return DayNumberToDate(day, &back) && back.wYear == date.wYear && back.wMonth == date.wMonth &&
                   back.wDay == date.wDay
               ? day
               : 0;
}

/* The first reminder day an organisation sets, or 0. */
DayNumber ReadPolicyFirstDay(void)
{
    for (HKEY root : policyRoots) {
        char text[16];
        DWORD size = sizeof text;
        DayNumber day;
        if (RegGetValueA(root, POLICY_KEY, POLICY_FIRST_DAY, RRF_RT_REG_SZ, NULL, text, &size) == ERROR_SUCCESS &&
            (day = DayOfDateText(text)) != 0)
            return day;
    }
    return 0;
}

/* The person's settings a policy can set instead: its name, range and how the setting
   stores it (hours and minutes as value + 1). */
static const struct {
    const char *setting, *policy;
    int low, high, stored;
} policySettings[] = {
    {SETTING_FREQUENCY, POLICY_FREQUENCY, 1, 100, 0},
    {SETTING_HOURS, POLICY_HOUR, 0, 23, 1},
    {SETTING_MINUTES, POLICY_MINUTE, 0, 59, 1},
};

/* A setting as a policy sets it, in its stored form, into value; 0 where none does. A first
   day makes the start day the one a period before it, so that it is the first due day. */
static int PolicySetting(const char *name, int *value)
{
    if (strcmp(name, SETTING_START_DAY) == 0) {
        long long first = ReadPolicyFirstDay(), period;
        if (!first)
            return 0;
        period = ReadAppliedOr(SETTING_FREQUENCY, DEFAULT_FREQUENCY);
        *value = (int) (first - (period < 0 ? -period : period)); /* in range: the first day is small */
        return 1;
    }
    for (const auto &p : policySettings)
        if (strcmp(name, p.setting) == 0 && ReadPolicyNumber(p.policy, p.low, p.high, value)) {
            *value += p.stored;
            return 1;
        }
    return 0;
}

/* Does a policy set this setting? Setup shows it greyed and leaves it as stored. */
int PolicyManages(const char *setting)
{
    int value;
    return PolicySetting(setting, &value);
}

/* A setting as it applies: a policy's where one sets it, else the person's own, 0 for not
   set. Only a recorded start day gives way to a policy's: the first run records its own. */
int ReadAppliedSetting(const char *name)
{
    int own = ReadSettingInt(name), policy;
    if (own == 0 && strcmp(name, SETTING_START_DAY) == 0)
        return 0;
    return PolicySetting(name, &policy) ? policy : own;
}

/* A policy, else the person's own, else the machine's default, else fallback. */
int ReadAppliedOr(const char *name, int fallback)
{
    int value = ReadAppliedSetting(name);
    if (!value)
        value = MachineDefault(name);
    return value ? value : fallback;
}

/* May the person do what a yes-or-no policy governs? Yes unless one says 0. */
int PolicyAllows(const char *name)
{
    int allowed;
    return !ReadPolicyNumber(name, 0, 1, &allowed) || allowed;
}
