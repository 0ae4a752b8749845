/* The hidden main window and the tray icon, driven from inside the process under Wine. */
#include "registry_fixture.h"
#include "reminder.h"
#include "resource.h"
#include "shell.h"

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

int warnings, setups;
bool iconDuringWarning;

bool IconExists(HWND window)
{
    NOTIFYICONDATAA data;
    ZeroMemory(&data, sizeof data);
    data.cbSize = 504;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_TIP;
    lstrcpynA(data.szTip, "Quilmaren Filters", sizeof data.szTip);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

} // namespace

void ShowWarning(void)
{
    warnings++;
    iconDuringWarning = IconExists(FindWindowA("KAVRI_Class", NULL));
}

void ShowSetup(void)
{
    setups++;
}

namespace {

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
        static bool registered;
        if (!registered) {
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
        AddTrayIcon(window);
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
    data.cbSize = 504;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    Shell_NotifyIconA(NIM_DELETE, &data); /* as a restarted shell would have forgotten it */
    ASSERT_FALSE(IconExists(window));

    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconExists(window));
    EXPECT_TRUE(MenuOpens(window, 1, WM_RBUTTONDOWN)); /* and still has its menu */
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
