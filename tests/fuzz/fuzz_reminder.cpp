/* Arbitrary stored values (any type, any length) and any valid local date and time:
   the checks must never crash, overflow or hand unterminated text to the conversion. Then
   the same bytes live a life, whose every step must keep the README's promises. */
#include "../host/life.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const names[] = {SETTING_START_DAY, SETTING_FREQUENCY, SETTING_HOURS, SETTING_MINUTES,
                                        SETTING_LAST_WARNING_DAY, SETTING_POSTPONED_UNTIL, SETTING_DONE_DAY};
    if (size < 7)
        return 0;

    fake::Reset();
    reminderState = ReminderState{(int) (data[0] * 0x01010101u), data[1] & 1, 0, 0};
    /* Mostly this century, where the day count is exact; sometimes any year a SYSTEMTIME holds. */
    int year = (data[3] & 0x80) ? 1601 + (data[2] | (data[3] & 0x7F) << 8) % 29227 : 1980 + data[2] % 160;
    fake::SetClock(year, 1 + data[4] % 12, 1 + data[5] % 31, data[6] % 24, (data[6] >> 2) % 60);
    fake::notificationState = (data[1] >> 1) % 9 - 1; /* failing, missing, or any answer */
    size_t at = 7;

    for (const char *name : names) {
        if (at + 2 > size)
            break;
        DWORD type = data[at] % 12;
        size_t length = data[at + 1];
        at += 2;
        if (length > size - at)
            length = size - at;
        if (type != 11) /* REG_QWORD slot stands for "absent" */
            fake::SetValue(OPTIONS_PATH, name, type, std::string((const char *) data + at, length));
        at += length;
    }

    for (const char *name : names) {
        char buffer[SETTING_BUFFER_SIZE];
        ReadSetting(buffer, name);
        if (strnlen(buffer, sizeof buffer) >= sizeof buffer)
            abort();
    }
    long long until = ReadSettingLong(SETTING_POSTPONED_UNTIL);
    for (int tick = 0; tick < 3; tick++) {
        int warnings = fake::warningsShown;
        size_t alarms = fake::sounds.size();
        int wasHeld = reminderState.warningHeld;
        CheckReminder();
        int shown = fake::warningsShown - warnings;

        /* Each warning follows one alarm and leaves nothing pending, but for a postponed one
           before the day's own time. */
        if (fake::sounds.size() - alarms != (size_t) shown ||
            (shown && (reminderState.warningHeld || (!wasHeld && !until && reminderState.warningPending))))
            abort();
        if (fake::OpenHandles() != 0)
            abort();
    }
    /* The forecast of any settings and state names a minute of a day not before today. */
    ReminderForecast next;
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (ForecastWarning(GetDayNumber(), now.wHour * 60 + now.wMinute + 1, &next) &&
        (next.minute < 0 || next.minute >= MINUTES_PER_DAY || next.day < GetDayNumber()))
        abort();
    if (fake::OpenHandles() != 0)
        abort();

    size_t used = 0;
    std::string steps = life::RandomLife([&](int n) { return used < size ? data[used++] % n : 0; }, (int) size / 2);
    std::string fault = life::Live(steps);
    if (!fault.empty()) {
        fprintf(stderr, "%s\n    {__LINE__, \"%s\"},\n", fault.c_str(), life::Shrink(steps).c_str());
        abort();
    }
    return 0;
}
