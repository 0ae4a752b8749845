/* Reads the desktop from inside Wine for the end-to-end tests: the foreground window's
   title, the text of the visible balloons, a date in the user's short format, and the
   monitors; or stands in as another program's window in front, at X, Y, until ended.
   Usage: probe foreground | balloons | date YEAR MONTH DAY | monitors | window X Y */
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
    MONITORINFO info;
    (void) dc, (void) area, (void) unused;
    info.cbSize = sizeof info;
    GetMonitorInfoA(monitor, &info);
    printf("%ld %ld %ld %ld %ld %ld %ld %ld %d\n", info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right,
           info.rcMonitor.bottom, info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom,
           (info.dwFlags & MONITORINFOF_PRIMARY) != 0);
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "monitors") == 0)
        return !EnumDisplayMonitors(NULL, NULL, PrintMonitor, 0);
    if (argc == 4 && strcmp(argv[1], "window") == 0) {
        HWND window = CreateWindowExA(0, "STATIC", "Probe window", WS_POPUP | WS_VISIBLE | WS_BORDER, atoi(argv[2]),
                                      atoi(argv[3]), 300, 200, NULL, NULL, NULL, NULL);
        SetForegroundWindow(window);
        for (MSG message; GetMessageA(&message, NULL, 0, 0) > 0;)
            DispatchMessageA(&message);
        return 0;
    }
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
    fprintf(stderr, "usage: probe foreground | balloons | date YEAR MONTH DAY | monitors | window X Y\n");
    return 2;
}
