/* Application shell: the hidden main window, its timer and the tray icon. */
#ifndef QUILMAREN_SHELL_H
#define QUILMAREN_SHELL_H

#include <windows.h>
#include <shellapi.h>

#define REMINDER_TIMER_ID 101
#define REMINDER_PERIOD_MS 60000
#define TRAY_RETRY_TIMER_ID 102
#define TRAY_RETRY_PERIOD_MS 5000
#define TRAY_RETRY_LIMIT 120 /* ten minutes of tries */
#define WM_TRAYNOTIFY 0x0800
/* Posted by a second start of the program to the copy already running. */
#define WM_ANOTHERSTART (WM_APP + 1)
/* Posted to itself with the icon: the session's notifications are asked for after it. */
#define WM_WATCHSESSION (WM_APP + 2)
#define TRAY_ICON_ID 1
/* The size of the ANSI notification record with balloon fields and the item GUID. */
#define TRAY_RECORD_SIZE NOTIFYICONDATAA_V3_SIZE
#define SHELL_TEXT_SIZE 100
#define MAIN_CLASS_NAME "KAVRI_Class"
/* Held for the process's life: one copy per sign-in session. */
#define INSTANCE_MUTEX_NAME "Local\\Quilmaren Filters"
#define HANDOVER_WAIT_MS 5000 /* for a running copy whose window is not made yet, then for its answer */
/* What a second start says when the running copy does not answer (hung, or closing). */
#define HANDOVER_FAILED_TEXT \
    "Quilmaren Filters is already running, but it did not answer.\n\nWait a moment and start it again. " \
    "If it still does not answer, end it in Task Manager first."

extern char windowTitle[SHELL_TEXT_SIZE];
extern char className[SHELL_TEXT_SIZE];

void RegisterMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL HandOverToRunningCopy(DWORD waitMs);

#define TRAY_TIP_SIZE 128 /* the record's tooltip, terminator included */

#define PRODUCT_NAME "Quilmaren Filters" /* also the tooltip an icon is added with */

void FormatTrayTip(char *tip, int size);
const char *NextReminder(char *when, int size);
void UpdateTrayTip(HWND window);
BOOL AddTrayIcon(HWND window);
HICON LoadTrayIcon(int dpi);
void RefreshTrayIcon(HWND window);
void ShowTrayIcon(HWND window);
void RetryTrayIcon(HWND window);
BOOL TrayIconExists(HWND window);
void RemoveTrayIcon(HWND window);
void OnTrayNotify(HWND window, WPARAM iconId, LPARAM mouseMessage);
void OpenSetup(HWND window);
void OpenReadMe(HWND window);
BOOL OpenThroughShell(HWND owner, LPCWSTR what, LPCWSTR target, int show);
void SayCannotOpen(HWND owner, LPCWSTR what, LPCWSTR target);
void EndComForShell(void);

/* Supplied by the dialogs: the modal Setup dialog (an open one is brought to the front by
   BringDialogForward, declared with the reminder core). */
void ShowSetup(void);
/* The monitor in use, noted for the dialogs that open until it is forgotten; the system's
   DPI and a monitor's (0 where Windows cannot say). */
void NoteMonitorInUse(void);
void ForgetMonitorInUse(void);
int ScreenDpi(void);
int MonitorDpi(HMONITOR monitor);

#endif
