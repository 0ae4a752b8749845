/* Reads the desktop from inside Wine for the end-to-end tests: the foreground window's
   title, the text of the visible balloons, a date in the user's short format, and the
   monitors, and a window's controls. Usage: probe foreground | balloons | date YEAR MONTH DAY |
   monitors | controls TITLE | endsession */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Under Wine a tray balloon is a visible tooltip window of the shell's. */
static BOOL CALLBACK PrintBalloon(HWND window, LPARAM unused)
{
    char name[32], text[512] = "";
    (void) unused;
    if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        lstrcmpiA(name, "tooltips_class32") == 0 &&
        SendMessageA(window, WM_GETTEXT, sizeof text, (LPARAM) text) > 0)
        printf("%s\n", text);
    return TRUE;
}

/* One monitor a line: its rectangle, its work area, and 1 for the primary. */
static BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC dc, LPRECT area, LPARAM unused)
{
    MONITORINFO i;
    (void) dc, (void) area, (void) unused;
    i.cbSize = sizeof i;
    GetMonitorInfoA(monitor, &i);
    printf("%ld %ld %ld %ld %ld %ld %ld %ld %d\n", i.rcMonitor.left, i.rcMonitor.top, i.rcMonitor.right,
           i.rcMonitor.bottom, i.rcWork.left, i.rcWork.top, i.rcWork.right, i.rcWork.bottom,
           (int) (i.dwFlags & MONITORINFOF_PRIMARY));
    return TRUE;
}

/* One control a line: its id, 1 if enabled, and its text (a list's: the one selected). */
static BOOL CALLBACK PrintControl(HWND control, LPARAM unused)
{
    char text[256] = "";
    (void) unused;
    SendMessageA(control, WM_GETTEXT, sizeof text, (LPARAM) text);
    printf("%d %d %s\n", GetDlgCtrlID(control), IsWindowEnabled(control) ? 1 : 0, text);
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "controls") == 0)
        return !EnumChildWindows(FindWindowA(NULL, argv[2]), PrintControl, 0);
    if (argc == 2 && strcmp(argv[1], "monitors") == 0)
        return !EnumDisplayMonitors(NULL, NULL, PrintMonitor, 0);
    if (argc == 2 && strcmp(argv[1], "foreground") == 0) {
        char title[256] = "";
        GetWindowTextA(GetForegroundWindow(), title, sizeof title);
        printf("%s\n", title);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "balloons") == 0) {
        EnumWindows(PrintBalloon, 0);
        return 0;
    }
    if (argc == 5 && strcmp(argv[1], "date") == 0) {
        SYSTEMTIME day = {0};
        char date[64] = "";
        day.wYear = (WORD) atoi(argv[2]);
        day.wMonth = (WORD) atoi(argv[3]);
        day.wDay = (WORD) atoi(argv[4]);
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &day, NULL, date, sizeof date);
        printf("%s\n", date);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "endsession") == 0) { /* as the Restart Manager closes a program */
        HWND main = FindWindowA("KAVRI_Class", NULL);
        if (!main || !SendMessageA(main, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP))
            return 1;
        SendMessageA(main, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
        return 0;
    }
    fprintf(stderr, "usage: probe foreground | balloons | date YEAR MONTH DAY | monitors | controls TITLE | endsession\n");
    return 2;
}
