#include "reminder.h"
#include "resource.h"
#include "shell.h"

#ifndef _WIN64 /* the 64-bit build, for tests on kernels without 32-bit programs, has its own */
static_assert(TRAY_RECORD_SIZE == 504, "tray record size");
#endif

static HMENU trayMenu;  /* "QUILMAREN", loaded with the icon */
static HMENU trayPopup; /* its "&File" popup, the menu shown */
static int trayRetriesLeft;
static char trayTip[TRAY_TIP_SIZE]; /* the tooltip the shell holds; empty without an icon */
static char tipWanted[TRAY_TIP_SIZE];               /* the tooltip as last made */
static ReminderState tipState;                      /* what it was made from */
static DayNumber tipDay;
/* Where an edit can change the forecast: the product's key, and the policies of the computer
   and the user (the parent of ours, as our key may come and go; where even that is missing,
   "Software"). */
static const struct {
    HKEY root;
    const char *path, *orElse;
} watchedKeys[] = {{HKEY_CURRENT_USER, SETTINGS_PARENT_KEY "\\" SETTINGS_PRODUCT_KEY, NULL},
                   {HKEY_LOCAL_MACHINE, "Software\\Policies", "Software"},
                   {HKEY_CURRENT_USER, "Software\\Policies", "Software"}};
#define WATCHED_KEYS (sizeof watchedKeys / sizeof watchedKeys[0])
static HKEY settingsKeys[WATCHED_KEYS]; /* watched for edits, all or none */
static HANDLE settingsEdited;           /* set by an edit of any */
static BOOL welcomeOffered; /* the first run's balloon, once the icon is in place */

/* A record naming our icon (icon 1 of the main window), every other field zero. */
static void InitTrayRecord(NOTIFYICONDATAA *data, HWND window)
{
    ZeroMemory(data, sizeof *data);
    data->cbSize = TRAY_RECORD_SIZE;
    data->hWnd = window;
    data->uID = TRAY_ICON_ID;
}

/* Could the tooltip have changed since it was last made? A forecast holds until it comes
   true, so only an edit of the settings, a change of the reminder state or a new day (the
   clock set) can change it. Edits are watched for rather than read every minute: an idle
   tick costs no more than the check. */
static BOOL TipMayHaveChanged(void)
{
    DayNumber today = GetDayNumber();
    BOOL changed = today != tipDay || reminderState.lastDueDay != tipState.lastDueDay ||
                   reminderState.warningPending != tipState.warningPending ||
                   reminderState.warningHeld != tipState.warningHeld ||
                   reminderState.postponedUntil != tipState.postponedUntil ||
                   reminderState.postponeServed != tipState.postponeServed;
    tipDay = today;
    tipState = reminderState;

    if (!settingsEdited)
        settingsEdited = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (settingsKeys[0] && WaitForSingleObject(settingsEdited, 0) == WAIT_TIMEOUT)
        return changed;
    /* Edited, or not watched yet: watch again, from fresh handles in case a key was
       deleted. Where one cannot be watched, every tick counts as a change. */
    BOOL watched = TRUE;
    for (size_t i = 0; i < WATCHED_KEYS; i++) {
        if (settingsKeys[i])
            RegCloseKey(settingsKeys[i]);
        settingsKeys[i] = NULL;
        const char *orElse = watchedKeys[i].orElse;
        if (watched &&
            (RegOpenKeyExA(watchedKeys[i].root, watchedKeys[i].path, 0, KEY_NOTIFY, &settingsKeys[i]) == ERROR_SUCCESS ||
             (orElse && RegOpenKeyExA(watchedKeys[i].root, orElse, 0, KEY_NOTIFY, &settingsKeys[i]) == ERROR_SUCCESS)))
            watched = RegNotifyChangeKeyValue(settingsKeys[i], TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                              settingsEdited, TRUE) == ERROR_SUCCESS;
        else
            watched = FALSE;
    }
    if (!watched && settingsKeys[0]) {
        RegCloseKey(settingsKeys[0]);
        settingsKeys[0] = NULL;
    }
    return TRUE;
}

/* Gives the shell a new tooltip only when its text has changed; one the shell did not take
   (busy, or no icon yet) is offered again at the next check. */
void UpdateTrayTip(HWND window)
{
    if (TipMayHaveChanged())
        FormatTrayTip(tipWanted, sizeof tipWanted);
    if (lstrcmpA(tipWanted, trayTip) == 0)
        return;

    NOTIFYICONDATAA data;
    InitTrayRecord(&data, window);
    data.uFlags = NIF_TIP;
    lstrcpynA(data.szTip, tipWanted, sizeof data.szTip);
    if (Shell_NotifyIconA(NIM_MODIFY, &data))
        lstrcpynA(trayTip, tipWanted, sizeof trayTip);
}

typedef int(WINAPI *MetricForDpiProc)(int index, UINT dpi);

/* The DPI the notification area is drawn at: that of the taskbar's monitor, where Windows
   can say (8.1 on), else the system's. */
static int TaskbarDpi(void)
{
    int dpi = MonitorDpi(MonitorFromWindow(FindWindowA("Shell_TrayWnd", NULL), MONITOR_DEFAULTTOPRIMARY));
    return dpi ? dpi : ScreenDpi();
}

/* Our own copy of the tray icon's image for a DPI: the small-icon size there (20 px at
   125 %), drawn for that size; ours to destroy. */
HICON LoadTrayIcon(int dpi)
{
    MetricForDpiProc forDpi = (MetricForDpiProc) (void (*)(void)) GetProcAddress(GetModuleHandleA("user32.dll"),
                                                                                 "GetSystemMetricsForDpi");
    int size = forDpi ? forDpi(SM_CXSMICON, dpi) : MulDiv(GetSystemMetrics(SM_CXSMICON), dpi, ScreenDpi());
    return (HICON) LoadImageA(hInst, "KAVRITRAY", IMAGE_ICON, size, size, 0);
}

/* Adds icon 1 with its tooltip; the menu is loaded once and kept until removal. */
BOOL AddTrayIcon(HWND window)
{
    HICON icon = LoadTrayIcon(TaskbarDpi());
    if (!trayMenu) {
        trayMenu = LoadMenuA(hInst, "QUILMAREN");
        trayPopup = GetSubMenu(trayMenu, 0);
    }

    NOTIFYICONDATAA data;
    InitTrayRecord(&data, window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = icon;
    /* The name first: the icon shows without waiting for the forecast, which follows. */
    lstrcpynA(data.szTip, PRODUCT_NAME, sizeof data.szTip);
    BOOL added = Shell_NotifyIconA(NIM_ADD, &data);
    if (added)
        lstrcpynA(trayTip, data.szTip, sizeof trayTip);

    DestroyIcon(icon); /* the shell keeps its own copy */
    return added;
}

/* The image for the taskbar's scale as it is now, put in place of the one shown: the scale
   may have changed (another monitor, the setting), and Explorer then announces itself anew
   while it still holds the icon. Where it holds none (a new Explorer), the icon is added
   again. Nothing before the first add. */
void RefreshTrayIcon(HWND window)
{
    if (!trayMenu)
        return;
    NOTIFYICONDATAA data;
    InitTrayRecord(&data, window);
    data.uFlags = NIF_ICON;
    data.hIcon = LoadTrayIcon(TaskbarDpi());
    BOOL modified = Shell_NotifyIconA(NIM_MODIFY, &data);
    DestroyIcon(data.hIcon);
    if (!modified)
        ShowTrayIcon(window);
}

/* On the run that began the cycle, a balloon from the icon says where the program lives,
   when it first reminds and how to reach Setup: Windows hides a new icon at first. Offered
   once; where the shell cannot show it, nothing else changes. */
static void WelcomeBalloon(HWND window)
{
    char when[TRAY_TIP_SIZE];
    if (welcomeOffered || !reminderState.startRecorded || NextReminder(when, sizeof when))
        return;
    welcomeOffered = TRUE;

    NOTIFYICONDATAA data;
    InitTrayRecord(&data, window);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_INFO;
    lstrcpynA(data.szInfoTitle, "Quilmaren Filters runs in the notification area", sizeof data.szInfoTitle);
    char text[sizeof data.szInfo + sizeof when];
    wsprintfA(text, "First reminder: %s.\nFor Setup, click this icon or start Quilmaren Filters again.", when);
    lstrcpynA(data.szInfo, text, sizeof data.szInfo);
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

/* The icon is there: no more tries; its tooltip, and on the first run its balloon. */
static void IconInPlace(HWND window)
{
    KillTimer(window, TRAY_RETRY_TIMER_ID);
    UpdateTrayTip(window);
    WelcomeBalloon(window);
}

/* Adds the icon, and keeps trying on a timer when the notification area is not ready or
   too busy to answer, as it often is at logon: without the icon, Setup and Exit are out
   of reach. */
void ShowTrayIcon(HWND window)
{
    /* Whatever opened first (a warning due at start opens inside creation), the session's
       watch comes after the icon. */
    PostMessageA(window, WM_WATCHSESSION, 0, 0);
    if (AddTrayIcon(window)) {
        IconInPlace(window);
        return;
    }
    trayRetriesLeft = TRAY_RETRY_LIMIT;
    SetTimer(window, TRAY_RETRY_TIMER_ID, TRAY_RETRY_PERIOD_MS, NULL);
}

/* Does the shell already hold our icon? */
BOOL TrayIconExists(HWND window)
{
    NOTIFYICONDATAA data;
    InitTrayRecord(&data, window);
    data.uFlags = NIF_TIP; /* the tooltip it has, so nothing changes; an add that timed out gave the name */
    lstrcpynA(data.szTip, trayTip[0] ? trayTip : PRODUCT_NAME, sizeof data.szTip);
    return Shell_NotifyIconA(NIM_MODIFY, &data);
}

/* One more try. An add that timed out may have gone through after all: an icon that is
   there counts as added, so there is never a second one. Gives up after the limit. */
void RetryTrayIcon(HWND window)
{
    if (AddTrayIcon(window) || TrayIconExists(window)) {
        IconInPlace(window);
    } else if (--trayRetriesLeft <= 0) {
        KillTimer(window, TRAY_RETRY_TIMER_ID);
    }
}

/* Releases the menu and takes the icon out of the notification area. */
void RemoveTrayIcon(HWND window)
{
    DestroyMenu(trayMenu);
    trayMenu = trayPopup = NULL;
    trayTip[0] = '\0';
    welcomeOffered = FALSE; /* it belongs to the icon */

    NOTIFYICONDATAA data;
    InitTrayRecord(&data, window);
    Shell_NotifyIconA(NIM_DELETE, &data);
}

/* The modal Setup dialog, from the menu or another start; its OK may change the forecast.
   In the foreground, so that it opens on top of what the person was doing. One at a time:
   asked again while it opens or is open, it brings what is open forward. */
void OpenSetup(HWND window)
{
    static BOOL open;
    if (open) {
        BringDialogForward();
        return;
    }
    open = TRUE;
    /* The screen as the person left it: once ours is the foreground, it tells nothing. */
    NoteMonitorInUse();
    SetForegroundWindow(window);
    ShowSetup();
    ForgetMonitorInUse();
    open = FALSE;
    UpdateTrayTip(window);
}

/* Exit, and the separator above it, only where an organisation lets the person end the
   program; asked at every opening, so that a policy applies at once. */
static void OfferExitAsAllowed(HMENU popup)
{
    BOOL allowed = PolicyAllows(POLICY_ALLOW_EXIT);
    BOOL offered = GetMenuState(popup, IDM_EXIT, MF_BYCOMMAND) != (UINT) -1;
    if (allowed && !offered) {
        AppendMenuA(popup, MF_SEPARATOR, 0, NULL);
        AppendMenuA(popup, MF_STRING, IDM_EXIT, "E&xit");
    } else if (!allowed && offered) {
        DeleteMenu(popup, IDM_EXIT, MF_BYCOMMAND);
        DeleteMenu(popup, GetMenuItemCount(popup) - 1, MF_BYPOSITION);
    }
}

/* A left or right button press on the icon opens the menu at the pointer. */
void OnTrayNotify(HWND window, WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != TRAY_ICON_ID || (mouseMessage != WM_LBUTTONDOWN && mouseMessage != WM_RBUTTONDOWN))
        return;

    POINT at;
    GetCursorPos(&at);
    /* Without the foreground the menu would not close on a click elsewhere. */
    SetForegroundWindow(window);
    OfferExitAsAllowed(trayPopup);
    int command = TrackPopupMenu(trayPopup, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, at.x, at.y, 0,
                                 window, NULL);
    PostMessageA(window, WM_NULL, 0, 0);

    switch (command) {
    case IDM_SETUP: OpenSetup(window); break;
    case IDM_HELP: OpenReadMe(window); break;
    case IDM_EXIT: PostMessageA(window, WM_CLOSE, 0, 0); break;
    }
}
