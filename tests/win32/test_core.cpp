/* The reminder core against Wine's real registry and clock. */
#include "import_patch.h"
#include "notification_state.h"
#include "reminder.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string>
#include <vector>

static int warnings;
int ShowWarning(void)
{
    warnings++;
    return ANSWER_NONE;
}

BOOL BringDialogForward(void)
{
    return FALSE;
}

namespace {

const char *const productKey = "Software\\Quilmaren Filters";
const char *const optionsKey = "Software\\Quilmaren Filters\\Options";

class Core : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, productKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, productKey);
        reminderState = ReminderState{};
        warnings = 0;
        ASSERT_TRUE(PinNotificationState()); /* the person is there, unless a test says otherwise */
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, productKey); }

    static bool KeyExists(const char *path)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    static void SetRaw(const char *name, DWORD type, const std::string &data)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, optionsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
        RegSetValueExA(key, name, 0, type, (const BYTE *) data.data(), (DWORD) data.size());
        RegCloseKey(key);
    }
    static std::string RegQuery()
    {
        std::string output;
        FILE *pipe = _popen("reg query \"HKCU\\Software\\Quilmaren Filters\\Options\" 2>&1", "r");
        if (!pipe)
            return output;
        char line[256];
        while (fgets(line, sizeof line, pipe))
            output += line;
        _pclose(pipe);
        return output;
    }
};

TEST_F(Core, ReadingCreatesNothingAndWritingStoresTerminatedText)
{
    for (const char *name : {SETTING_START_DAY, SETTING_FREQUENCY, SETTING_HOURS, SETTING_MINUTES})
        EXPECT_EQ(ReadSettingInt(name), 0) << name;
    EXPECT_FALSE(KeyExists(productKey));

    WriteSetting("2994", SETTING_START_DAY);
    WriteSetting("100", SETTING_FREQUENCY);
    WriteSetting("24", SETTING_HOURS);
    WriteSetting("60", SETTING_MINUTES);
    ASSERT_TRUE(KeyExists(optionsKey));

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, optionsKey, 0, KEY_READ, &key), 0);
    char data[32];
    DWORD type = 0, size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, SETTING_START_DAY, NULL, &type, (BYTE *) data, &size), 0);
    RegCloseKey(key);
    EXPECT_EQ(type, (DWORD) REG_SZ);
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(data, "2994");

    EXPECT_EQ(ReadSettingInt(SETTING_FREQUENCY), 100);
    std::string shown = RegQuery();
    for (const char *line : {"Total Day Count    REG_SZ    2994", "Frequency    REG_SZ    100",
                             "Time~Hours    REG_SZ    24", "Time~Minutes    REG_SZ    60"})
        EXPECT_NE(shown.find(line), std::string::npos) << "reg query shows:\n" << shown;
}

TEST_F(Core, HandEditedValuesReadAsTerminatedText)
{
    const struct {
        DWORD type;
        std::string data;
        int expected; /* -1: either the default or saturated, never garbage */
    } cases[] = {
        {REG_SZ, std::string(20, '4'), -1},              /* 20 bytes, no terminator */
        {REG_SZ, std::string(21, '4'), 0},               /* does not fit */
        {REG_SZ, std::string(100, '4') + '\0', 0},
        {REG_SZ, "", 0},                                 /* 0 bytes */
        {REG_SZ, std::string(19, '5'), 2147483647},      /* 19 bytes, no terminator */
        {REG_SZ, std::string("12abc\0", 6), 12},
        {REG_DWORD, std::string("\x07\0\0\0", 4), 0},
        {REG_BINARY, std::string(20, '3'), 2147483647},
        {REG_BINARY, "19", 19},
        {REG_EXPAND_SZ, std::string("-3\0", 3), -3},
    };
    for (const auto &c : cases) {
        SetRaw(SETTING_HOURS, c.type, c.data);
        char buffer[SETTING_BUFFER_SIZE + 4];
        memset(buffer, 'x', sizeof buffer);
        ReadSetting(buffer, SETTING_HOURS);
        EXPECT_LT(strnlen(buffer, sizeof buffer), (size_t) SETTING_BUFFER_SIZE) << "type " << c.type;
        int value = ReadSettingInt(SETTING_HOURS);
        if (c.expected == -1)
            EXPECT_TRUE(value == 0 || value == 2147483647) << value;
        else
            EXPECT_EQ(value, c.expected) << "type " << c.type << ", " << c.data.size() << " bytes";
    }
}

TEST_F(Core, DayNumberFollowsTheLocalClock)
{
    SYSTEMTIME before, after;
    DayNumber n;
    do {
        GetLocalTime(&before);
        n = GetDayNumber();
        GetLocalTime(&after);
    } while (before.wDay != after.wDay);

    SYSTEMTIME origin = {2001, 1, 0, 1, 0, 0, 0, 0}, today = before;
    today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
    FILETIME a, b;
    SystemTimeToFileTime(&origin, &a);
    SystemTimeToFileTime(&today, &b);
    ULONGLONG ticks = (((ULONGLONG) b.dwHighDateTime << 32) | b.dwLowDateTime) -
                      (((ULONGLONG) a.dwHighDateTime << 32) | a.dwLowDateTime);
    EXPECT_EQ(n, (DayNumber) (ticks / (10000000ULL * 86400)) + 1);
}

TEST_F(Core, FirstCheckRecordsTodayAndADueDayWarns)
{
    CheckReminder();
    EXPECT_EQ(ReadSettingInt(SETTING_START_DAY), GetDayNumber());
    EXPECT_EQ(warnings, 0);

    char text[16];
    wsprintfA(text, "%i", GetDayNumber() - 7);
    WriteSetting(text, SETTING_START_DAY);
    WriteSetting(text, SETTING_LAST_WARNING_DAY);
    WriteSetting("1", SETTING_HOURS);
    WriteSetting("1", SETTING_MINUTES);
    CheckReminder();
    EXPECT_EQ(warnings, 1);
    CheckReminder();
    EXPECT_EQ(warnings, 1);
}

TEST_F(Core, ADueWarningAsksShell32WhetherThePersonIsThere)
{
    char text[16];
    wsprintfA(text, "%i", GetDayNumber() - 7);
    WriteSetting(text, SETTING_START_DAY);
    WriteSetting(text, SETTING_LAST_WARNING_DAY);
    WriteSetting("1", SETTING_HOURS);
    WriteSetting("1", SETTING_MINUTES);
    const struct {
        QUERY_USER_NOTIFICATION_STATE state;
        int warnings;
    } checks[] = {{QUNS_NOT_PRESENT, 0}, {QUNS_NOT_PRESENT, 0}, {QUNS_ACCEPTS_NOTIFICATIONS, 1}};
    pinned::queries = 0;
    for (const auto &c : checks) {
        PinNotificationState(c.state);
        CheckReminder();
        EXPECT_EQ(warnings, c.warnings) << "answered " << c.state;
    }
    EXPECT_EQ(pinned::queries, 3);
}

/* The calls a record makes, watched in this executable's imports: Wine's event log is a stub. */
std::wstring eventCall; /* source, type, ID, the user's, the strings */
HANDLE WINAPI RegisterSource(LPCWSTR server, LPCWSTR source)
{
    eventCall = std::wstring(server ? L"remote" : source);
    return (HANDLE) 0x1234;
}
BOOL WINAPI Report(HANDLE, WORD type, WORD, DWORD id, PSID sid, WORD count, DWORD, LPCWSTR *strings, LPVOID)
{
    DWORD_PTR own[64];
    DWORD size;
    HANDLE token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    bool ours = GetTokenInformation(token, TokenUser, own, sizeof own, &size) && sid &&
                EqualSid(sid, ((TOKEN_USER *) own)->User.Sid);
    CloseHandle(token);
    eventCall += L" " + std::to_wstring(type) + L" " + std::to_wstring(id) + (ours ? L" user" : L" nobody");
    for (WORD i = 0; i < count; i++)
        eventCall += std::wstring(L" ") + strings[i];
    return TRUE;
}

TEST_F(Core, EventRecordsNameTheSourceTheUserAndTheMomentOnlyWhenRegistered)
{
    ASSERT_EQ(PatchImport("advapi32.dll", (void *) RegisterEventSourceW, (void *) RegisterSource) +
                  PatchImport("advapi32.dll", (void *) ReportEventW, (void *) Report), 2);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, EVENT_SOURCE_KEY, "TypesSupported", REG_DWORD, "\7\0\0\0", 4), 0);
    RecordWarningEvent(EVENT_FILTERS_CLEANED, 0);
    EXPECT_EQ(eventCall, L"Quilmaren Filters 4 1010 user");
    RecordWarningEvent(EVENT_WARNING_LATER, 3001 * 1440LL + 449);
    EXPECT_EQ(eventCall, L"Quilmaren Filters 4 1011 user 2009-03-20 07:29");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, EVENT_SOURCE_KEY); /* a per-user install registers none */
    eventCall.clear();
    RecordWarningEvent(EVENT_FILTERS_CLEANED, 0);
    EXPECT_EQ(eventCall, L"");
}

} // namespace
