#include "reminder.h"
#include "shell.h"

char windowTitle[SHELL_TEXT_SIZE];
char className[SHELL_TEXT_SIZE];
static UINT taskbarCreated; /* broadcast when the notification area is recreated */

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
   made yet, as when two start together at logon. */
BOOL HandOverToRunningCopy(DWORD waitMs)
{
    HWND running;
    for (DWORD start = GetTickCount(); !(running = FindWindowA(MAIN_CLASS_NAME, NULL)); Sleep(100))
        if (GetTickCount() - start >= waitMs)
            return FALSE;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    AllowSetForegroundWindow(process);
    return PostMessageA(running, WM_ANOTHERSTART, 0, 0);
}

/* Another start of the program: the dialog open here comes to the front, or else Setup
   opens as from the tray, the way in when Windows hides the icon. */
static void OnAnotherStart(HWND window)
{
    if (!BringDialogForward())
        OpenSetup(window);
}

/* Owns the reminder timer and receives the tray icon's callbacks. */
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetTimer(window, REMINDER_TIMER_ID, REMINDER_PERIOD_MS, NULL);
        CheckReminder();
        return 0;
    case WM_TIMER:
        if (wParam == REMINDER_TIMER_ID) {
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
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        RemoveTrayIcon(window);
        KillTimer(window, REMINDER_TIMER_ID);
        KillTimer(window, TRAY_RETRY_TIMER_ID);
        PostQuitMessage(0);
        return 0;
    default:
        /* A restarted shell forgets our icon; without it the program cannot be reached. */
        if (taskbarCreated && message == taskbarCreated)
            ShowTrayIcon(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
