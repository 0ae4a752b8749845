/* Settings relative to today's real date: Wine's clock cannot be set. */
#ifndef QUILMAREN_TEST_REGISTRY_FIXTURE_H
#define QUILMAREN_TEST_REGISTRY_FIXTURE_H

#include "reminder.h"

#include <string>

#define PRODUCT_KEY "Software\\Quilmaren Filters"

inline void ClearSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, PRODUCT_KEY);
    RegDeleteKeyA(HKEY_CURRENT_USER, PRODUCT_KEY);
    reminderState = ReminderState{};
    sessionLocked = 0;
}

inline void Store(const char *name, int value)
{
    WriteSettingInt(value, name);
}

/* A 7-day cycle whose warning time is 00:00: due now when daysAgo is a multiple of 7. It
   began then, as its last warning day says. */
inline void StoreCycleStartedDaysAgo(int daysAgo)
{
    Store(SETTING_START_DAY, GetDayNumber() - daysAgo);
    Store(SETTING_LAST_WARNING_DAY, GetDayNumber() - daysAgo);
    Store(SETTING_FREQUENCY, 7);
    Store(SETTING_HOURS, 1);
    Store(SETTING_MINUTES, 1);
}

inline std::string StoredText(const char *name)
{
    char buffer[SETTING_BUFFER_SIZE];
    ReadSetting(buffer, name);
    return buffer;
}

#endif
