/* Where a skinned dialog goes: on the monitor the person is working on, in the middle of its
   work area, and back on a monitor when the one it was on goes away. */
#include "shell.h"
#include "skin.h"

/* Which of the monitors a dialog opening now goes on: that of the window in front, unless
   nothing is in front or the window is this program's own (its hidden window, its menu, its
   dialogs), which says nothing of where the person looks; then the one under the pointer;
   the primary one when neither can be told. */
int ChooseMonitor(const MonitorView *view)
{
    int primary = 0;
    for (int i = 0; i < view->count; i++)
        if (view->monitors[i].primary)
            primary = i;
    if (view->frontMonitor && view->frontProcess != view->ownProcess)
        for (int i = 0; i < view->count; i++)
            if (view->monitors[i].handle == view->frontMonitor)
                return i;
    if (view->pointerKnown)
        for (int i = 0; i < view->count; i++)
            if (PtInRect(&view->monitors[i].area, view->pointer))
                return i;
    return primary;
}

static BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM viewParam)
{
    MonitorView *view = (MonitorView *) viewParam;
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (view->count < MONITORS_KNOWN && GetMonitorInfoA(handle, &info)) {
        ScreenMonitor *m = &view->monitors[view->count++];
        m->handle = handle;
        m->area = info.rcMonitor;
        m->work = info.rcWork;
        m->primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    }
    return TRUE;
}

/* The monitors as they are now, the window in front and the pointer. */
static void LookAtScreen(MonitorView *view)
{
    view->count = 0;
    EnumDisplayMonitors(NULL, NULL, AddMonitor, (LPARAM) view);
    HWND front = GetForegroundWindow();
    char name[16] = "";
    GetClassNameA(front, name, sizeof name);
    /* The desktop spans every monitor: with it in front, nothing is. Its icons may live in
       a WorkerW window rather than in the shell's own. */
    if (!front || front == GetDesktopWindow() || front == GetShellWindow() || lstrcmpA(name, "WorkerW") == 0)
        view->frontMonitor = NULL;
    else
        view->frontMonitor = MonitorFromWindow(front, MONITOR_DEFAULTTONEAREST);
    view->frontProcess = 0;
    GetWindowThreadProcessId(front, &view->frontProcess);
    view->ownProcess = GetCurrentProcessId();
    view->pointerKnown = GetCursorPos(&view->pointer);
}

static HMONITOR monitorInUse; /* chosen before the program took the foreground, or null */

/* Chooses the monitor the person is working on now, for the dialogs that open until it is
   forgotten: taking the foreground to open one hides which it was. */
void NoteMonitorInUse(void)
{
    MonitorView view;
    LookAtScreen(&view);
    monitorInUse = view.count ? view.monitors[ChooseMonitor(&view)].handle : NULL;
}

void ForgetMonitorInUse(void)
{
    monitorInUse = NULL;
}

/* Moves a window to the middle of the work area of the monitor the person is working on
   (the one noted, while it is there), keeping its size, so it is never under the taskbar. */
void CentreOnWorkMonitor(HWND window)
{
    MonitorView view;
    LookAtScreen(&view);
    if (!view.count)
        return;
    int chosen = ChooseMonitor(&view);
    for (int i = 0; i < view.count; i++)
        if (view.monitors[i].handle == monitorInUse)
            chosen = i;
    RECT work = view.monitors[chosen].work, w;
    /* Landing on a monitor of another scale resizes a dialog (WM_DPICHANGED) as it moves:
       it is then centred again at its new size. */
    for (int moves = 0; moves < 2; moves++) {
        GetWindowRect(window, &w);
        int width = w.right - w.left, height = w.bottom - w.top;
        MoveWindow(window, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height, TRUE);
        GetWindowRect(window, &w);
        if (w.right - w.left == width && w.bottom - w.top == height)
            break;
    }
}

/* After monitors changed (WM_DISPLAYCHANGE): a dialog still wholly on the monitors stays
   where the person left it; one that lies off them, all or in part, comes back centred. */
void KeepOnMonitors(HWND window)
{
    MonitorView view;
    LookAtScreen(&view);
    RECT w;
    GetWindowRect(window, &w);
    HRGN off = CreateRectRgnIndirect(&w), monitor = CreateRectRgn(0, 0, 0, 0);
    int left = COMPLEXREGION;
    for (int i = 0; i < view.count && left != NULLREGION; i++) {
        SetRectRgn(monitor, view.monitors[i].area.left, view.monitors[i].area.top, view.monitors[i].area.right,
                   view.monitors[i].area.bottom);
        left = CombineRgn(off, off, monitor, RGN_DIFF);
    }
    DeleteObject(off);
    DeleteObject(monitor);
    if (left != NULLREGION)
        CentreOnWorkMonitor(window);
}
