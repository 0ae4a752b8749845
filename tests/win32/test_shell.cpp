/* The hidden main window and the tray icon, driven from inside the process under Wine. */
#include "exe_module.h"
#include "import_patch.h"
#include "notification_state.h"
#include "registry_fixture.h"
#include "reminder.h"
#include "resource.h"
#include "shell.h"
#include "skin.h"

#include <psapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

int warnings, setups;
bool iconDuringWarning;

bool IconExists(HWND window)
{
    return TrayIconExists(window) != FALSE;
}

} // namespace

int ShowWarning(void)
{
    warnings++;
    iconDuringWarning = IconExists(FindWindowA("KAVRI_Class", NULL));
    return ANSWER_NONE;
}

void ShowSetup(void)
{
    setups++;
}

void NoteMonitorInUse(void) {}
void ForgetMonitorInUse(void) {}
int ScreenDpi(void) { return USER_DEFAULT_SCREEN_DPI; }
int MonitorDpi(HMONITOR) { return 0; }

namespace {
int forwards;
bool dialogOpen; /* what BringDialogForward finds */
} // namespace

BOOL BringDialogForward(void)
{
    forwards++;
    return dialogOpen;
}

namespace {

/* What the program asks of calls it looks up at run time, which Wine ignores: the message
   its window lets through from programs with fewer rights, and the window told of the
   session's changes; and how the session is when asked: away, unless a test says. */
std::set<UINT> letThrough;
HWND watching;
int watchRefusals, watchCalls; /* refused as early at logon, before the session's service is ready */
bool inputDesktopOpens;
WTS_CONNECTSTATE_CLASS connectState = WTSDisconnected;

BOOL WINAPI LetThrough(HWND, UINT message, DWORD action, void *)
{
    if (action == MSGFLT_ALLOW)
        letThrough.insert(message);
    return TRUE;
}

HDESK WINAPI InputDesktop(DWORD, BOOL, ACCESS_MASK access)
{
    return inputDesktopOpens ? OpenDesktopA("Default", 0, FALSE, access) : NULL;
}

BOOL WINAPI QuerySession(HANDLE, DWORD, WTS_INFO_CLASS what, LPWSTR *answer, DWORD *bytes)
{
    *answer = (LPWSTR) &connectState;
    *bytes = sizeof connectState;
    return what == WTSConnectState;
}

void WINAPI FreeAnswer(PVOID) {}

BOOL WINAPI Watch(HWND window, DWORD flags)
{
    watchCalls++;
    if (watchRefusals > 0)
        return !watchRefusals--;
    watching = flags == NOTIFY_FOR_THIS_SESSION ? window : NULL;
    return TRUE;
}

BOOL WINAPI Unwatch(HWND window)
{
    watching = window == watching ? NULL : watching;
    return TRUE;
}

FARPROC WINAPI RecordingLookup(HMODULE module, LPCSTR name)
{
    FARPROC real = pinned::Lookup(module, name), recorders[] = {(FARPROC) (void (*)(void)) LetThrough,
        (FARPROC) (void (*)(void)) Watch, (FARPROC) (void (*)(void)) Unwatch,
        (FARPROC) (void (*)(void)) QuerySession, (FARPROC) (void (*)(void)) FreeAnswer};
    const char *names[] = {"ChangeWindowMessageFilterEx", "WTSRegisterSessionNotification",
                           "WTSUnRegisterSessionNotification", "WTSQuerySessionInformationW", "WTSFreeMemory"};
    for (int i = 0; real && HIWORD(name) && i < 5; i++)
        real = lstrcmpA(name, names[i]) == 0 ? recorders[i] : real;
    return real;
}

bool menuSeen;

VOID CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menu = FindWindowA("#32768", NULL);
    if (menu && IsWindowVisible(menu)) {
        menuSeen = true;
        EndMenu();
    }
}

/* Does this tray callback open the menu? Any menu that opens is dismissed. */
bool MenuOpens(HWND window, WPARAM iconId, LPARAM mouseMessage)
{
    menuSeen = false;
    UINT_PTR timer = SetTimer(NULL, 0, 100, CloseMenu);
    OnTrayNotify(window, iconId, mouseMessage);
    KillTimer(NULL, timer);
    return menuSeen;
}

class Shell : public ::testing::Test {
protected:
    HWND window = NULL;

    void SetUp() override
    {
        ClearSettings();
        warnings = setups = 0;
        ASSERT_TRUE(PinNotificationState()); /* warnings that are due show */
        static bool registered;
        if (!registered) {
            /* Before the first window: the program keeps what it looked up. */
            ASSERT_GT(PatchImport("kernel32.dll", (const void *) pinned::Lookup, (const void *) RecordingLookup), 0);
            ASSERT_GT(PatchImport("user32.dll", (const void *) OpenInputDesktop, (const void *) InputDesktop), 0);
            hInst = GetModuleHandleA(NULL);
            lstrcpynA(windowTitle, "Quilmaren Filters", SHELL_TEXT_SIZE);
            lstrcpynA(className, "KAVRI_Class", SHELL_TEXT_SIZE);
            RegisterMainWindowClass(hInst);
            registered = true;
        }
    }
    void TearDown() override
    {
        if (window && IsWindow(window))
            DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            ;
        ClearSettings();
    }
    /* As the program starts: create the window, then add the icon. */
    void Start()
    {
        window = CreateWindowExA(0, className, windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                 NULL, NULL, hInst, NULL);
        ASSERT_TRUE(window);
        ShowTrayIcon(window);
        ShowWindow(window, SW_HIDE);
    }
};

TEST_F(Shell, ClassAsRegistered)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(hInst, "KAVRI_Class", &wc));
    EXPECT_EQ(wc.style, (UINT) (CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.lpfnWndProc, MainWndProc);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_TRUE(wc.hIcon);
    EXPECT_EQ(wc.hCursor, LoadCursorA(NULL, IDC_ARROW));
    EXPECT_EQ(wc.hbrBackground, (HBRUSH) (COLOR_WINDOW + 1));
    EXPECT_STREQ(wc.lpszMenuName, "QUILMAREN");
}

TEST_F(Shell, FirstStartRecordsTodayAndShowsTheIconHidden)
{
    Start();
    EXPECT_EQ(ReadSettingInt(SETTING_START_DAY), GetDayNumber());
    EXPECT_EQ(warnings, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetMenu(window)); /* the class menu, never seen */
    EXPECT_TRUE(IconExists(window));
}

TEST_F(Shell, DueWarningRunsInsideCreationBeforeTheIcon)
{
    StoreCycleStartedDaysAgo(7);
    Start();
    EXPECT_EQ(warnings, 1);
    EXPECT_FALSE(iconDuringWarning);
    EXPECT_TRUE(IconExists(window));
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Shell, OnlyTheReminderTimerChecks)
{
    Start();
    StoreCycleStartedDaysAgo(14);
    const struct {
        WPARAM timer;
        int warnings;
    } ticks[] = {{102, 0}, {0, 0}, {REMINDER_TIMER_ID, 1}, {REMINDER_TIMER_ID, 1}, {7, 1}};
    for (const auto &t : ticks) {
        SendMessageA(window, WM_TIMER, t.timer, 0);
        EXPECT_EQ(warnings, t.warnings) << "timer " << t.timer;
    }
}

TEST_F(Shell, OnlyButtonPressesOnIconOneOpenTheMenu)
{
    Start();
    const struct {
        WPARAM icon;
        LPARAM mouse;
        bool opens;
    } cases[] = {
        {1, WM_LBUTTONDOWN, true},  {1, WM_RBUTTONDOWN, true},    {1, WM_LBUTTONUP, false},
        {1, WM_RBUTTONUP, false},   {1, WM_LBUTTONDBLCLK, false}, {1, WM_MOUSEMOVE, false},
        {1, WM_MBUTTONDOWN, false}, {2, WM_LBUTTONDOWN, false},   {0, WM_RBUTTONDOWN, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(MenuOpens(window, c.icon, c.mouse), c.opens) << "icon " << c.icon << ", message 0x" << std::hex
                                                               << c.mouse;
        EXPECT_TRUE(IsWindow(window));
    }
    EXPECT_EQ(setups, 0); /* dismissing the menu does nothing */
}

TEST_F(Shell, RecreatedNotificationAreaGetsTheIconBack)
{
    Start();
    ASSERT_TRUE(IconExists(window));
    NOTIFYICONDATAA data;
    ZeroMemory(&data, sizeof data);
    data.cbSize = TRAY_RECORD_SIZE;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    Shell_NotifyIconA(NIM_DELETE, &data); /* as a restarted shell would have forgotten it */
    ASSERT_FALSE(IconExists(window));

    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconExists(window));
    EXPECT_TRUE(MenuOpens(window, 1, WM_RBUTTONDOWN)); /* and still has its menu */
}

/* A day number's date and a minute of it, in the user's short date and time formats. */
std::string ShortDateOf(DayNumber day, int minute)
{
    SYSTEMTIME t = {2001, 1, 0, 1, 0, 0, 0, 0}; /* day 1 */
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    ULONGLONG ticks = ((ULONGLONG) f.dwHighDateTime << 32 | f.dwLowDateTime) + (day - 1) * 864000000000ULL +
                      minute * 600000000ULL;
    f.dwHighDateTime = (DWORD) (ticks >> 32);
    f.dwLowDateTime = (DWORD) ticks;
    FileTimeToSystemTime(&f, &t);
    char date[64], time[64];
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, NULL, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &t, NULL, time, sizeof time);
    return std::string(date) + " at " + time;
}

template <class Condition> bool WaitFor(Condition done, int milliseconds = 20000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < (DWORD) milliseconds; Sleep(50))
        if (done())
            return true;
    return done();
}

/* A notification area that fails adds: a given number of them, or every one. */
typedef BOOL(WINAPI *NotifyProc)(DWORD, PNOTIFYICONDATAA);
NotifyProc realNotify;
int addsToFail, adds;
bool failedAddGoesThrough; /* as when the shell answered too late */

int tipChanges; /* tooltip modifications the shell was asked for */
std::string lastTip;
bool refuseTip; /* as a busy shell would */

int balloons; /* first-run balloons asked for */
std::string lastBalloon;
int iconChanges; /* images put in place of the one shown */

BOOL WINAPI FlakyNotify(DWORD message, PNOTIFYICONDATAA data)
{
    iconChanges += message == NIM_MODIFY && (data->uFlags & NIF_ICON);
    if (message == NIM_MODIFY && (data->uFlags & NIF_INFO)) {
        balloons++;
        lastBalloon = std::string(data->szInfoTitle) + "|" + data->szInfo;
    }
    if (message == NIM_MODIFY && (data->uFlags & NIF_TIP)) {
        tipChanges++;
        lastTip = data->szTip;
        if (refuseTip)
            return FALSE;
    }
    if (message == NIM_ADD) {
        adds++;
        if (addsToFail > 0) {
            addsToFail--;
            if (failedAddGoesThrough)
                realNotify(message, data);
            return FALSE;
        }
    }
    return realNotify(message, data);
}

/* The retry timer as the program sets it, run fast: the ticks come from a real timer, so a
   program that never sets it, or kills it early, shows it. */
typedef UINT_PTR(WINAPI *SetTimerProc)(HWND, UINT_PTR, UINT, TIMERPROC);
typedef BOOL(WINAPI *KillTimerProc)(HWND, UINT_PTR);
SetTimerProc realSetTimer;
KillTimerProc realKillTimer;
UINT retryPeriod; /* as asked for; 0 when never set */
bool retryKilled;

UINT_PTR WINAPI FastRetryTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc)
{
    if (id != TRAY_RETRY_TIMER_ID)
        return realSetTimer(window, id, period, proc);
    retryPeriod = period;
    return realSetTimer(window, id, 10, proc);
}

BOOL WINAPI WatchedKillTimer(HWND window, UINT_PTR id)
{
    BOOL existed = realKillTimer(window, id);
    if (id == TRAY_RETRY_TIMER_ID && existed)
        retryKilled = true;
    return existed;
}

TEST_F(Shell, FailedAddIsRetriedOnItsTimerUntilExactlyOneIconOrTheLimit)
{
    HMODULE shell32 = GetModuleHandleA("shell32.dll"), user32 = GetModuleHandleA("user32.dll");
    realNotify = (NotifyProc) (void (*)(void)) GetProcAddress(shell32, "Shell_NotifyIconA");
    realSetTimer = (SetTimerProc) (void (*)(void)) GetProcAddress(user32, "SetTimer");
    realKillTimer = (KillTimerProc) (void (*)(void)) GetProcAddress(user32, "KillTimer");
    ASSERT_GT(PatchImport("shell32.dll", (const void *) realNotify, (const void *) FlakyNotify), 0);
    ASSERT_GT(PatchImport("user32.dll", (const void *) realSetTimer, (const void *) FastRetryTimer), 0);
    ASSERT_GT(PatchImport("user32.dll", (const void *) realKillTimer, (const void *) WatchedKillTimer), 0);
    const struct {
        int line;
        int failures;
        bool goesThrough;
        UINT period; /* of the retry timer; 0: never set */
        int adds;    /* add calls in all */
        bool icon;
    } cases[] = {
        {__LINE__, 0, false, 0, 1, true},                                       /* ready at once */
        {__LINE__, 3, false, TRAY_RETRY_PERIOD_MS, 4, true},                    /* busy for three tries */
        {__LINE__, 1, true, TRAY_RETRY_PERIOD_MS, 2, true},                     /* the timed-out add did land */
        {__LINE__, 1000, false, TRAY_RETRY_PERIOD_MS, 1 + TRAY_RETRY_LIMIT, false}, /* gives up */
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        addsToFail = c.failures;
        failedAddGoesThrough = c.goesThrough;
        adds = 0;
        retryPeriod = 0;
        retryKilled = false;
        lastTip.clear();
        balloons = 0;
        ClearSettings(); /* each a first run */
        Start();
        for (DWORD start = GetTickCount(); retryPeriod && !retryKilled && GetTickCount() - start < 30000;) {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
        EXPECT_EQ(retryPeriod, c.period);
        EXPECT_EQ(retryKilled, c.period != 0) << "the retry timer was never stopped";
        EXPECT_FALSE(realKillTimer(window, TRAY_RETRY_TIMER_ID)) << "still retrying";
        EXPECT_EQ(adds, c.adds);
        EXPECT_EQ(lastTip.rfind("Quilmaren Filters: next reminder", 0) == 0, c.icon) << "tooltip: " << lastTip;
        /* The first run's balloon comes with the icon, however late. */
        EXPECT_EQ(balloons, c.icon ? 1 : 0);
        if (c.icon) {
            EXPECT_NE(lastBalloon.find(ShortDateOf(GetDayNumber() + 7, 7 * 60 + 29)), std::string::npos) << lastBalloon;
        }
        addsToFail = 0;
        EXPECT_EQ(IconExists(window), c.icon);
        DestroyWindow(window);
        EXPECT_FALSE(IconExists(window));
    }
    PatchImport("user32.dll", (const void *) WatchedKillTimer, (const void *) realKillTimer);
    PatchImport("user32.dll", (const void *) FastRetryTimer, (const void *) realSetTimer);
    PatchImport("shell32.dll", (const void *) FlakyNotify, (const void *) realNotify);
}

/* A new scale, or Explorer announcing itself anew while it holds the icon: the image is
   put in place, and nothing is added. */
TEST_F(Shell, ANewScaleOrTaskbarPutsTheImageInPlace)
{
    realNotify = (NotifyProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("shell32.dll"), "Shell_NotifyIconA");
    ASSERT_GT(PatchImport("shell32.dll", (const void *) realNotify, (const void *) FlakyNotify), 0);
    for (UINT message : {RegisterWindowMessageA("TaskbarCreated"), (UINT) WM_DPICHANGED, (UINT) WM_SETTINGCHANGE,
                         (UINT) WM_DISPLAYCHANGE}) {
        Start();
        adds = iconChanges = 0;
        SendMessageA(window, message, 0, 0);
        EXPECT_EQ(iconChanges, 1) << message;
        EXPECT_EQ(adds, 0) << message;
        DestroyWindow(window);
    }
    PatchImport("shell32.dll", (const void *) FlakyNotify, (const void *) realNotify);
}

/* An icon's colour bitmap, and the icon released. */
std::string ColourBits(HICON icon)
{
    ICONINFO info;
    BITMAP b = {};
    GetIconInfo(icon, &info);
    GetObjectA(info.hbmColor, sizeof b, &b);
    std::string bits(b.bmWidthBytes * b.bmHeight, '\0');
    GetBitmapBits(info.hbmColor, bits.size(), &bits[0]);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    return bits;
}

TEST_F(Shell, TheTrayIconAtEachScaleIsTheImageDrawnForItsSize)
{
    const int dpis[] = {96, 120, 144, 168, 192, 240, 288}; /* 16, 20, 24, 28, 32, 40, 48 px */
    for (int i = 0; i < 7; i++) {
        HRSRC image = FindResourceA(hInst, MAKEINTRESOURCEA(IDI_KAVRITRAY_FIRST + i), (LPCSTR) RT_ICON);
        HICON drawn = CreateIconFromResourceEx((BYTE *) LockResource(LoadResource(hInst, image)),
                                               SizeofResource(hInst, image), TRUE, 0x00030000, 0, 0, 0);
        EXPECT_TRUE(ColourBits(LoadTrayIcon(dpis[i])) == ColourBits(drawn)) << "another image at " << dpis[i] << " DPI";
    }
}

typedef LONG(WINAPI *RegCreateProc)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                     LPDWORD);

LONG WINAPI DeniedRegCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD)
{
    return ERROR_ACCESS_DENIED; /* as a key the user may not write */
}

TEST_F(Shell, TooltipSaysWhenTheNextReminderComes)
{
    const int unsaved = -1; /* no start day can be stored */
    const struct {
        int line;
        int startedDaysAgo, frequency, hours, minutes, held;
        int afterStart, atMinute; /* days from the start to the next reminder; or the text when none comes */
        const char *text;
        int postponedFor = 0; /* minutes from now; the date shows when it is not today */
    } cases[] = {
        {__LINE__, 3, 7, 1, 1, 0, 7, 0, NULL},
        {__LINE__, 0, 2, 24, 60, 0, 2, 23 * 60 + 59, NULL},
        {__LINE__, 7, 7, 1, 1, 0, 14, 0, NULL}, /* today's warned at start */
        {__LINE__, 3, 7, 30, 1, 0, 0, 0, "no reminder, the time setting is out of range"},
        {__LINE__, 0, 2147483647, 1, 1, 0, 0, 0, "no reminder, the day settings are out of range"},
        {__LINE__, 7, 7, 1, 1, QUNS_NOT_PRESENT, 0, 0, "reminder waiting until you are back"},
        {__LINE__, 7, 7, 1, 1, QUNS_PRESENTATION_MODE, 0, 0, "reminder waiting while you are busy"},
        {__LINE__, unsaved, 0, 0, 0, 0, 0, 0, "no reminder, the settings cannot be saved"},
        {__LINE__, 3, 7, 1, 1, 0, 0, 0, NULL, 60},
        {__LINE__, 3, 7, 1, 1, 0, 0, 0, NULL, MINUTES_PER_DAY},
        {__LINE__, 3, 7, 1, 1, QUNS_NOT_PRESENT, 0, 0, "reminder waiting until you are back", 60},
    };
    RegCreateProc realCreate =
        (RegCreateProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegCreateKeyExA");
    for (const auto &c : cases) {
        std::string tip, expected;
        /* Made again if midnight passed meanwhile: the expected date is the check's. */
        for (DayNumber day = 0; day != GetDayNumber();) {
            day = GetDayNumber();
            ClearSettings();
            if (c.startedDaysAgo == unsaved) {
                ASSERT_GT(PatchImport("advapi32.dll", (const void *) realCreate, (const void *) DeniedRegCreate), 0);
            } else {
                Store(SETTING_START_DAY, GetDayNumber() - c.startedDaysAgo);
                Store(SETTING_FREQUENCY, c.frequency);
                Store(SETTING_HOURS, c.hours);
                Store(SETTING_MINUTES, c.minutes);
            }
            CheckReminder(); /* as at start */
            long long until = MomentNow() + c.postponedFor;
            if (c.postponedFor)
                Store(SETTING_POSTPONED_UNTIL, (int) until);
            reminderState.warningHeld = c.held;
            char text[TRAY_TIP_SIZE];
            FormatTrayTip(text, sizeof text);
            tip = text;
            expected = c.text ? c.text : "next reminder " + ShortDateOf(day - c.startedDaysAgo + c.afterStart, c.atMinute);
            if (c.postponedFor && !c.text) {
                std::string moment = ShortDateOf((DayNumber) (until / MINUTES_PER_DAY), (int) (until % MINUTES_PER_DAY));
                expected = "reminder postponed to " + (until / MINUTES_PER_DAY == day ? moment.substr(moment.find(" at ") + 4) : moment);
            }
            PatchImport("advapi32.dll", (const void *) DeniedRegCreate, (const void *) realCreate);
        }
        EXPECT_EQ(tip, "Quilmaren Filters: " + expected) << "case at line " << c.line;
    }
}

TEST_F(Shell, TooltipGoesToTheShellOnlyWhenItChanges)
{
    realNotify = (NotifyProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("shell32.dll"), "Shell_NotifyIconA");
    ASSERT_GT(PatchImport("shell32.dll", (const void *) realNotify, (const void *) FlakyNotify), 0);
    StoreCycleStartedDaysAgo(3);
    const std::string next = "Quilmaren Filters: next reminder " + ShortDateOf(ReadSettingInt(SETTING_START_DAY) + 7, 0);
    tipChanges = 0;
    Start(); /* the icon with the name first, then the forecast */
    EXPECT_EQ(tipChanges, 1);
    EXPECT_EQ(lastTip, next);
    const std::string outOfRange = "Quilmaren Filters: no reminder, the time setting is out of range";
    const struct {
        int hours; /* stored before the tick; 0: unchanged */
        bool refused;
        int changes;
        std::string tip;
    } ticks[] = {
        {0, false, 1, ""}, {0, false, 1, ""}, /* idle minutes */
        {30, false, 2, outOfRange},           /* edited by hand */
        {0, false, 2, ""},
        {1, true, 3, ""},                     /* edited back; the shell is busy */
        {0, false, 4, next},                  /* so offered again */
        {0, false, 4, ""},
    };
    for (const auto &t : ticks) {
        if (t.hours)
            Store(SETTING_HOURS, t.hours);
        refuseTip = t.refused;
        SendMessageA(window, WM_TIMER, REMINDER_TIMER_ID, 0);
        EXPECT_EQ(tipChanges, t.changes) << "after hours " << t.hours;
        if (!t.tip.empty()) {
            EXPECT_EQ(lastTip, t.tip);
        }
    }
    refuseTip = false;
    PatchImport("shell32.dll", (const void *) FlakyNotify, (const void *) realNotify);
}

typedef LONG(WINAPI *RegOpenProc)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
RegOpenProc realRegOpen;
int keyOpens;

LONG WINAPI CountedRegOpen(HKEY key, LPCSTR name, DWORD options, REGSAM access, PHKEY result)
{
    keyOpens++;
    return realRegOpen(key, name, options, access, result);
}

TEST_F(Shell, IdleTicksReadNoMoreThanTheCheckDoes)
{
    realRegOpen = (RegOpenProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegOpenKeyExA");
    ASSERT_GT(PatchImport("advapi32.dll", (const void *) realRegOpen, (const void *) CountedRegOpen), 0);
    StoreCycleStartedDaysAgo(3);
    Start();
    keyOpens = 0;
    CheckReminder();
    int check = keyOpens;
    for (int tick = 0; tick < 3; tick++) {
        keyOpens = 0;
        SendMessageA(window, WM_TIMER, REMINDER_TIMER_ID, 0);
        EXPECT_EQ(keyOpens, check) << "tick " << tick;
    }
    PatchImport("advapi32.dll", (const void *) CountedRegOpen, (const void *) realRegOpen);
}

TEST_F(Shell, TheLastWarningDayIsReadOnlyWhenADayCouldBeOwed)
{
    realRegOpen = (RegOpenProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegOpenKeyExA");
    ASSERT_GT(PatchImport("advapi32.dll", (const void *) realRegOpen, (const void *) CountedRegOpen), 0);
    const struct {
        int line;
        int startedDaysAgo, warnedDaysAgo; /* in this run; -1: not yet */
        int reads;                         /* of a value, three keys each; one is the postponement */
    } cases[] = {
        {__LINE__, 0, -1, 3},  /* the start day: no due day yet */
        {__LINE__, 10, -1, 4}, /* after a start: was the last due day seen? */
        {__LINE__, 10, 3, 3},  /* its warning came in this run */
    };
    for (const auto &c : cases) {
        ClearSettings();
        StoreCycleStartedDaysAgo(c.startedDaysAgo);
        Store(SETTING_LAST_WARNING_DAY, GetDayNumber() - 3);
        if (c.warnedDaysAgo >= 0)
            reminderState.lastWarningDay = GetDayNumber() - c.warnedDaysAgo;
        keyOpens = 0;
        CheckReminder();
        EXPECT_EQ(keyOpens, 3 * c.reads) << "case at line " << c.line;
        EXPECT_EQ(warnings, 0) << "case at line " << c.line;
    }
    PatchImport("advapi32.dll", (const void *) CountedRegOpen, (const void *) realRegOpen);
}

/* ---- the real program, started from a copy in a folder of its own */

std::string Directory(const std::string &path)
{
    return path.substr(0, path.find_last_of("\\/"));
}

/* The full path of the winmm a process has loaded, or "" when it has none. */
std::string LoadedWinmm(HANDLE process)
{
    HMODULE modules[512];
    DWORD bytes = 0;
    EnumProcessModules(process, modules, sizeof modules, &bytes);
    for (DWORD i = 0; i < bytes / sizeof(HMODULE); i++) {
        char path[MAX_PATH] = "";
        GetModuleFileNameExA(process, modules[i], path, MAX_PATH);
        const char *name = strrchr(path, '\\');
        if (name && lstrcmpiA(name + 1, "winmm.dll") == 0)
            return path;
    }
    return "";
}

struct FindOwned {
    DWORD process;
    HWND found;
};

BOOL CALLBACK OnTopWindow(HWND window, LPARAM param)
{
    FindOwned *f = (FindOwned *) param;
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    char cls[32];
    GetClassNameA(window, cls, sizeof cls);
    if (owner == f->process && lstrcmpA(cls, "KAVRI_Class") == 0)
        f->found = window;
    return TRUE;
}

TEST_F(Shell, PlantedWinmmBesideTheProgramIsNeverLoaded)
{
    /* The program's own answer cannot be pinned from here: it warns only if the session
       lets it (Wine's always does). */
    if (SessionNotificationState() != QUNS_ACCEPTS_NOTIFICATIONS)
        GTEST_SKIP() << "this session holds warnings now (state " << SessionNotificationState() << ")";
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "planted-" + std::to_string(GetCurrentProcessId());
    std::string exe = folder + "\\QuilmarenFilters.exe", decoy = folder + "\\winmm.dll";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((Directory(ProgramPath()) + "\\bare_resources.dll").c_str(), decoy.c_str(), FALSE));
    Store(SETTING_START_DAY, GetDayNumber()); /* not due: an idle copy first */

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION p;
    ASSERT_TRUE(CreateProcessA(exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup, &p));
    FindOwned main = {p.dwProcessId, NULL};
    EXPECT_TRUE(WaitFor([&] { EnumWindows(OnTopWindow, (LPARAM) &main); return main.found != NULL; }));
    EXPECT_EQ(LoadedWinmm(p.hProcess), "") << "winmm loaded before any alarm";

    StoreCycleStartedDaysAgo(7);
    PostMessageA(main.found, WM_TIMER, REMINDER_TIMER_ID, 0);
    HWND warning = NULL;
    EXPECT_TRUE(WaitFor([&] { return (warning = FindWindowA(NULL, WARNING_TITLE)) != NULL; }));
    /* A 32-bit process on 64-bit Windows gets its system DLLs from SysWOW64. */
    std::string loaded = LoadedWinmm(p.hProcess);
    char system[MAX_PATH] = "", wow64[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    GetSystemWow64DirectoryA(wow64, MAX_PATH);
    EXPECT_NE(lstrcmpiA(Directory(loaded).c_str(), folder.c_str()), 0) << "loaded the planted " << loaded;
    EXPECT_TRUE(lstrcmpiA(Directory(loaded).c_str(), system) == 0 ||
                (wow64[0] && lstrcmpiA(Directory(loaded).c_str(), wow64) == 0))
        << "loaded " << loaded << ", not from " << system << " or " << (wow64[0] ? wow64 : "(no SysWOW64)");

    PostMessageA(warning, WM_COMMAND, IDOK, 0);
    PostMessageA(main.found, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(p.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(p.hProcess, &code);
    EXPECT_EQ(code, 0u);
    if (WaitForSingleObject(p.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(p.hProcess, 1);
    CloseHandle(p.hThread);
    CloseHandle(p.hProcess);
    DeleteFileA(exe.c_str());
    DeleteFileA(decoy.c_str());
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
}

typedef BOOL(WINAPI *AllowProc)(DWORD);
AllowProc realAllow;
DWORD allowedProcess;

BOOL WINAPI RecordedAllow(DWORD process)
{
    allowedProcess = process;
    return realAllow(process);
}

DWORD WINAPI SecondStart(LPVOID)
{
    return HandOverToRunningCopy(500);
}

TEST_F(Shell, ASecondStartHandsOverToTheRunningCopy)
{
    EXPECT_FALSE(HandOverToRunningCopy(0)) << "no copy is running";
    realAllow = (AllowProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("user32.dll"), "AllowSetForegroundWindow");
    ASSERT_GT(PatchImport("user32.dll", (const void *) realAllow, (const void *) RecordedAllow), 0);
    Start();
    EXPECT_TRUE(letThrough.count(WM_ANOTHERSTART)) << "a copy started as administrator would not hear it";
    const struct {
        bool dialogOpen, answering; /* the running copy handles its messages, or hangs */
        int setups;
    } cases[] = {{false, true, 1}, {true, true, 0}, /* Setup opens, or the open dialog comes forward */
                 {false, false, 0}};
    for (const auto &c : cases) {
        dialogOpen = c.dialogOpen;
        forwards = setups = 0;
        allowedProcess = 0;
        HANDLE second = CreateThread(NULL, 0, SecondStart, NULL, 0, NULL);
        EXPECT_TRUE(WaitFor([&] {
            for (MSG m; c.answering && PeekMessageA(&m, NULL, 0, 0, PM_REMOVE);)
                DispatchMessageA(&m);
            return WaitForSingleObject(second, 0) == WAIT_OBJECT_0;
        }));
        DWORD answered = 2;
        GetExitCodeThread(second, &answered);
        CloseHandle(second);
        EXPECT_EQ(answered, (DWORD) c.answering);
        EXPECT_EQ(allowedProcess, GetCurrentProcessId()) << "the running copy may not take the foreground";
        EXPECT_EQ(forwards, c.answering ? 1 : 0);
        EXPECT_EQ(setups, c.setups);
    }
    PatchImport("user32.dll", (const void *) RecordedAllow, (const void *) realAllow);
}

TEST_F(Shell, AGuardTheSecondStartMayNotOpenMeansACopyRuns)
{
    /* As a copy started as administrator leaves it: others may only wait on it. */
    PSECURITY_DESCRIPTOR waitOnly;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                                     &waitOnly, NULL));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, waitOnly, FALSE};
    HANDLE guard = CreateMutexA(&attributes, FALSE, INSTANCE_MUTEX_NAME);
    ASSERT_FALSE(CreateMutexA(NULL, FALSE, INSTANCE_MUTEX_NAME)) << "this Wine lets the guard be opened";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION p;
    ASSERT_TRUE(CreateProcessA(ProgramPath().c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &p));
    HWND copy = NULL, box = NULL; /* no window here answers it: it says so after 5 s */
    EXPECT_TRUE(WaitFor([&] {
        box = FindWindowA("#32770", "Quilmaren Filters");
        return (copy = FindWindowA(MAIN_CLASS_NAME, NULL)) || (box && IsWindowVisible(box));
    }));
    EXPECT_FALSE(copy) << "a second copy runs";
    char text[256] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_TRUE(strstr(text, "already running, but it did not answer")) << text;
    PostMessageA(copy ? copy : box, copy ? WM_CLOSE : WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(p.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(p.hProcess, &code);
    EXPECT_EQ(code, 1u);
    TerminateProcess(p.hProcess, 1);
    CloseHandle(p.hThread);
    CloseHandle(p.hProcess);
    CloseHandle(guard);
    LocalFree(waitOnly);
}

TEST_F(Shell, ALockedOrDisconnectedSessionHoldsTheWarningUntilItIsBack)
{
    watchRefusals = 1;
    watchCalls = 0;
    Start();
    EXPECT_EQ(watchCalls, 0) << "asked before the icon shows";
    for (MSG m; PeekMessageA(&m, window, 0, 0, PM_REMOVE);)
        DispatchMessageA(&m);
    EXPECT_EQ(watchCalls, 1);
    EXPECT_FALSE(watching);
    SendMessageA(window, WM_TIMER, REMINDER_TIMER_ID, 0); /* asked again */
    EXPECT_EQ(watching, window);
    const struct {
        WPARAM changes[4]; /* the warning falls due after the first */
        int comesAt;
    } cases[] = {{{WTS_SESSION_LOCK, WTS_SESSION_UNLOCK}, 1},
                 {{WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT}, 1},
                 /* another user's turn, then back through the lock screen */
                 {{WTS_SESSION_LOCK, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT, WTS_SESSION_UNLOCK}, 3}};
    for (const auto &c : cases) {
        ClearSettings();
        warnings = 0;
        for (int i = 0; i < 4 && c.changes[i]; i++) {
            SendMessageA(window, WM_WTSSESSION_CHANGE, c.changes[i], 0);
            if (i == 0) {
                StoreCycleStartedDaysAgo(7);
                SendMessageA(window, WM_TIMER, REMINDER_TIMER_ID, 0);
            }
            EXPECT_EQ(warnings, i >= c.comesAt ? 1 : 0) << "from " << c.changes[0] << ", change " << i;
        }
    }
    DestroyWindow(window);
    EXPECT_FALSE(watching) << "still told of the session";
}

TEST_F(Shell, AnUnlockInTheWarningsOwnMinuteAndItsTickWarnOnce)
{
    Start();
    SYSTEMTIME now;
    ASSERT_TRUE(WaitFor([&] { GetLocalTime(&now); return now.wSecond < 50; })); /* both in this minute */
    StoreCycleStartedDaysAgo(7);
    Store(SETTING_HOURS, now.wHour + 1);
    Store(SETTING_MINUTES, now.wMinute + 1);
    SendMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    SendMessageA(window, WM_TIMER, REMINDER_TIMER_ID, 0);
    EXPECT_EQ(warnings, 1);
}

TEST_F(Shell, AMissedUnlockOrConnectHoldsTheWarningOnlyUntilTheNextTick)
{
    Start();
    const struct {
        WPARAM change;
        bool desktopOpens; /* the lock screen is gone */
        WTS_CONNECTSTATE_CLASS state;
        int warnings;
    } cases[] = {{WTS_SESSION_LOCK, false, WTSActive, 0},
                 {WTS_SESSION_LOCK, true, WTSDisconnected, 1},
                 {WTS_REMOTE_DISCONNECT, true, WTSDisconnected, 0},
                 {WTS_REMOTE_DISCONNECT, false, WTSActive, 1}};
    for (const auto &c : cases) {
        ClearSettings();
        warnings = 0;
        SendMessageA(window, WM_WTSSESSION_CHANGE, c.change, 0);
        StoreCycleStartedDaysAgo(7);
        inputDesktopOpens = c.desktopOpens;
        connectState = c.state;
        SendMessageA(window, WM_TIMER, REMINDER_TIMER_ID, 0);
        EXPECT_EQ(warnings, c.warnings) << "after " << c.change << ", the desktop opening: " << c.desktopOpens;
    }
    inputDesktopOpens = false;
    connectState = WTSDisconnected;
}

TEST_F(Shell, ACopyStartedAsAdministratorHearsExplorer)
{
    letThrough.clear();
    Start();
    EXPECT_TRUE(letThrough.count(RegisterWindowMessageA("TaskbarCreated"))) << "its icon would not come back";
    EXPECT_TRUE(letThrough.count(WM_TRAYNOTIFY)) << "clicks on its icon would be lost";
}

TEST_F(Shell, CloseRemovesTheIconAndPostsQuitZero)
{
    Start();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IconExists(window));
    MSG message;
    bool quit = false;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) {
            quit = true;
            EXPECT_EQ(message.wParam, 0u);
        }
    EXPECT_TRUE(quit);
}

} // namespace
