/* Arbitrary stored values (any type, any length) and any valid local date and time:
   the checks must never crash, overflow or hand unterminated text to the conversion. */
#include "fakewin.h"
#include "reminder.h"

#include <cstddef>
#include <cstdint>
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
    /* What the first check must do, from the rules alone: while a postponement waits, no
       warning; one whose moment came, or a due day that passed after the start and the last
       warning with none shown since, warns when nothing holds it back. Due days are found by
       counting back day by day, not by the check's arithmetic. */
    int free = fake::notificationState == QUNS_ACCEPTS_NOTIFICATIONS || fake::notificationState <= 0;
    long long start = ReadSettingInt(SETTING_START_DAY), record = ReadSettingInt(SETTING_LAST_WARNING_DAY);
    long long step = ReadSettingOr(SETTING_FREQUENCY, DEFAULT_FREQUENCY);
    step = step < 0 ? -step : step;
    long long today = GetDayNumber(), target = WarningTarget();
    long long until = ReadSettingLong(SETTING_POSTPONED_UNTIL), moment = MomentNow();
    int waits = until > moment && until - moment <= 2 * MINUTES_PER_DAY;
    int dueToday = today != start && (today - start) % step == 0;
    int missed = 0;
    for (long long day = today - 1; start && record && day > start && day > record && day > today - 400; day--)
        missed |= (day - start) % step == 0;
    int mustWarn = !waits && free && (until || (missed && !dueToday && target < MINUTES_PER_DAY));

    int notDueWarnings = 0;
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
        /* Never on the first run, which records today, unless a postponement came. */
        if (start == 0 && ((shown && !until) || ReadSettingInt(SETTING_START_DAY) != today))
            abort();
        if (tick == 0 && ((waits && shown) || (mustWarn && !shown)))
            abort();
        /* On a day that is not due, once at most: the three checks share one clock. */
        if (!dueToday && (notDueWarnings += shown) > 1)
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
    return 0;
}
