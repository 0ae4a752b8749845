#include "reminder.h"
#include "shell.h"
#include "skin.h"

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD flags);

/* Every DLL loaded from now on, by us or by the system DLLs we use, comes from the system
   directory, never from the program's folder. Looked up at run time: systems without the
   call still start. */
static void RestrictDllSearch(void)
{
    SetDefaultDllDirectoriesProc setDefault = (SetDefaultDllDirectoriesProc) (void (*)(void)) GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

/* Registers the class, creates the hidden window (which runs the first check),
   adds the tray icon and runs the message loop. Arguments are ignored. A second start
   hands over to the copy already running and ends: two copies would warn twice. A copy
   that does not answer is named, so that a start is never met with nothing. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    BecomeDpiAware(); /* before the first window */
    /* Never closed: the system releases it when the process ends, however it ends. Where
       it cannot be made at all, the program runs as it always did. Denied means it exists
       and a copy started as administrator made it. */
    HANDLE instanceMutex = CreateMutexA(NULL, FALSE, INSTANCE_MUTEX_NAME);
    DWORD made = GetLastError();
    if (instanceMutex ? made == ERROR_ALREADY_EXISTS : made == ERROR_ACCESS_DENIED) {
        if (HandOverToRunningCopy(HANDOVER_WAIT_MS))
            return 0;
        MessageBoxA(NULL, HANDOVER_FAILED_TEXT, "Quilmaren Filters", MB_OK | MB_ICONWARNING);
        return 1;
    }
    lstrcpynA(windowTitle, "Quilmaren Filters", SHELL_TEXT_SIZE);
    lstrcpynA(className, MAIN_CLASS_NAME, SHELL_TEXT_SIZE);
    RegisterMainWindowClass(instance);
    hInst = instance; /* before creation: the first check may load the alarm and a dialog */

    HWND window = CreateWindowExA(0, className, windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                  NULL, NULL, instance, NULL);
    if (!window) {
        MessageBeep(0);
        return 0;
    }
    ShowTrayIcon(window);
    ShowWindow(window, SW_HIDE);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    EndComForShell();
    return (int) message.wParam;
}
