#include "reminder.h"

#include <limits.h>
#include <stdlib.h>

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
    if (!value)
        value = MachineDefault(name);
    return value ? value : fallback;
}
