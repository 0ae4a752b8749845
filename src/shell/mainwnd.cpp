#include "reminder.h"
#include "shell.h"

#include <wtsapi32.h>

char windowTitle[SHELL_TEXT_SIZE];
char className[SHELL_TEXT_SIZE];
static UINT taskbarCreated; /* broadcast when the notification area is recreated */
static BOOL sessionWatched;  /* registered for the session's lock and connection changes */

/* The session's states that hold a warning, as sessionLocked's bits. */
#define SESSION_LOCKED 1
#define SESSION_DISCONNECTED 2

typedef BOOL(WINAPI *MessageFilterProc)(HWND window, UINT message, DWORD action, void *info);
typedef BOOL(WINAPI *SessionRegisterProc)(HWND window, DWORD flags);
typedef BOOL(WINAPI *SessionUnregisterProc)(HWND window);
typedef BOOL(WINAPI *SessionQueryProc)(HANDLE server, DWORD session, WTS_INFO_CLASS what, LPWSTR *answer,
                                       DWORD *bytes);
typedef void(WINAPI *SessionFreeProc)(PVOID memory);

/* The hidden window's class; its menu is the tray menu's resource. */
void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "KAVRICON");
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH) (COLOR_WINDOW + 1);
    wc.lpszMenuName = "QUILMAREN";
    wc.lpszClassName = className;
    wc.hIconSm = LoadIconA(instance, "KAVRICONSM"); /* absent: derived from hIcon */
    RegisterClassExA(&wc);
    taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

/* In a second copy: lets the running one take the foreground, which the person who just
   started us gave us, and tells it. Waits up to waitMs for a copy whose window is not
   made yet, as when two start together at logon, and as long again for its answer. FALSE
   when none answered: none found, hung, or the message refused. */
BOOL HandOverToRunningCopy(DWORD waitMs)
{
    HWND running;
    for (DWORD start = GetTickCount(); !(running = FindWindowA(MAIN_CLASS_NAME, NULL)); Sleep(100))
        if (GetTickCount() - start >= waitMs)
            return FALSE;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    AllowSetForegroundWindow(process);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(running, WM_ANOTHERSTART, 0, 0, SMTO_ABORTIFHUNG, waitMs, &answer) && answer;
}

/* Another start of the program, answered at once: the dialog open here, or a warning on
   its way, comes to the front, or else Setup opens as from the tray, the way in when
   Windows hides the icon. */
static void OnAnotherStart(HWND window)
{
    ReplyMessage(TRUE);
    if (!BringDialogForward())
        OpenSetup(window);
}

/* A copy started as administrator still hears what runs with less: a second start's
   hand-over, and Explorer's, which recreates the notification area and reports clicks on
   the icon. Looked up at run time, being newer than Vista. */
static void AcceptHandOver(HWND window)
{
    MessageFilterProc allow = (MessageFilterProc) (void (*)(void)) GetProcAddress(
        GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
    UINT heard[] = {WM_ANOTHERSTART, taskbarCreated, WM_TRAYNOTIFY};
    for (int i = 0; allow && i < 3; i++)
        if (heard[i])
            allow(window, heard[i], MSGFLT_ALLOW, NULL);
}

/* Asks Windows to tell the window when the session is locked, unlocked, disconnected or
   connected again. Early at logon its service may not be ready: the minute's tick asks
   again. wtsapi32 is not a known DLL: loaded from the system directory only, and once. */
static void WatchSession(HWND window)
{
    static SessionRegisterProc watch;
    static BOOL looked;
    if (!looked) {
        looked = TRUE;
        HMODULE wtsapi = LoadSystemLibrary("wtsapi32.dll");
        if (wtsapi)
            watch = (SessionRegisterProc) (void (*)(void)) GetProcAddress(wtsapi, "WTSRegisterSessionNotification");
    }
    sessionWatched = watch && watch(window, NOTIFY_FOR_THIS_SESSION);
}

/* Stops the session's messages before the window goes. */
static void UnwatchSession(HWND window)
{
    HMODULE wtsapi = GetModuleHandleA("wtsapi32.dll");
    if (!sessionWatched || !wtsapi)
        return;
    SessionUnregisterProc unwatch = (SessionUnregisterProc) (void (*)(void)) GetProcAddress(
        wtsapi, "WTSUnRegisterSessionNotification");
    if (unwatch)
        unwatch(window);
    sessionWatched = FALSE;
}

/* Is the session's connection active? FALSE also when Windows does not say. */
static BOOL SessionConnected(void)
{
    HMODULE wtsapi = GetModuleHandleA("wtsapi32.dll");
    if (!wtsapi)
        return FALSE;
    SessionQueryProc query = (SessionQueryProc) (void (*)(void)) GetProcAddress(wtsapi, "WTSQuerySessionInformationW");
    SessionFreeProc release = (SessionFreeProc) (void (*)(void)) GetProcAddress(wtsapi, "WTSFreeMemory");
    LPWSTR answer = NULL;
    DWORD bytes = 0;
    if (!query || !release || !query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSConnectState, &answer, &bytes))
        return FALSE;
    BOOL active = bytes >= sizeof(WTS_CONNECTSTATE_CLASS) && *(WTS_CONNECTSTATE_CLASS *) answer == WTSActive;
    release(answer);
    return active;
}

/* A missed unlock or connect must not hold warnings for ever: while the session is marked
   away, each tick asks how it is, and clears what no longer holds. Unlocked once the input
   desktop opens (while locked it is the lock screen's, which no program of the user's may
   open): the same answer on every version, where WTSSessionInfoEx's lock flag means the
   opposite on Windows 7 and a compatibility mode hides which Windows it is. */
static void RecheckSession(void)
{
    if ((sessionLocked & SESSION_DISCONNECTED) && SessionConnected())
        sessionLocked &= ~SESSION_DISCONNECTED;
    /* Disconnected, the input desktop is the one of the reconnection: it says nothing. */
    if (sessionLocked & SESSION_DISCONNECTED)
        return;
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP);
    if (input) {
        CloseDesktop(input);
        sessionLocked &= ~SESSION_LOCKED;
    }
}

/* Locked or disconnected, a due warning waits as for a person away; unlocked and
   connected again, the check runs at once, so a held warning comes with its alarm. */
static void OnSessionChange(HWND window, WPARAM change)
{
    ReplyMessage(0); /* a sender waits for nothing: the check may open the warning */
    switch (change) {
    case WTS_SESSION_LOCK: sessionLocked |= SESSION_LOCKED; return;
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_DISCONNECT: sessionLocked |= SESSION_DISCONNECTED; return;
    case WTS_SESSION_UNLOCK: sessionLocked &= ~SESSION_LOCKED; break;
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT: sessionLocked &= ~SESSION_DISCONNECTED; break;
    default: return;
    }
    if (!sessionLocked) {
        CheckReminder();
        UpdateTrayTip(window);
    }
}

/* Owns the reminder timer and receives the tray icon's callbacks. */
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        AcceptHandOver(window);
        SetTimer(window, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
        CheckReminder();
        return 0;
    case WM_TIMER:
        if (wParam == REMINDER_TIMER_ID) {
            if (!sessionWatched)
                WatchSession(window);
            if (sessionLocked)
                RecheckSession();
            CheckReminder();
            UpdateTrayTip(window); /* a warning fired or held, a new day, settings edited */
        }
        else if (wParam == TRAY_RETRY_TIMER_ID)
            RetryTrayIcon(window);
        return 0;
    case WM_TRAYNOTIFY:
        OnTrayNotify(window, wParam, lParam);
        return 0;
    case WM_ANOTHERSTART:
        OnAnotherStart(window);
        return TRUE; /* answered */
    case WM_WATCHSESSION:
        if (!sessionWatched)
            WatchSession(window);
        return 0;
    case WM_WTSSESSION_CHANGE:
        OnSessionChange(window, wParam);
        return 0;
    case WM_DPICHANGED: /* the scale changed: the icon's image follows */
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE:
        RefreshTrayIcon(window);
        return 0;
    case WM_ENDSESSION: /* also the Restart Manager closing us for an MSI upgrade or removal */
        if (wParam)
            DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        UnwatchSession(window);
        RemoveTrayIcon(window);
        KillTimer(window, REMINDER_TIMER_ID);
        KillTimer(window, TRAY_RETRY_TIMER_ID);
        PostQuitMessage(0);
        return 0;
    default:
        /* A restarted shell forgets our icon, without which the program cannot be reached;
           one that announces itself after a change of scale holds it, at the old size. */
        if (taskbarCreated && message == taskbarCreated)
            RefreshTrayIcon(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
