/* Opening a file or an address through the shell, for Help and the dialogs' link. */
#include "reminder.h"
#include "shell.h"

#include <objbase.h>

typedef HRESULT(WINAPI *ComInitProc)(LPVOID reserved, DWORD flags);
typedef void(WINAPI *ComEndProc)(void);

static HRESULT comSetUp = E_FAIL; /* CoInitializeEx's answer; a failure is tried again */

/* The shell may carry out "open" in a shell extension, which needs COM on this thread. Set up
   at the first open, not at start: ole32 would cost every idle copy its memory. Kept for the
   thread's life, which is the program's. */
static void InitComForShell(void)
{
    if (SUCCEEDED(comSetUp))
        return;
    HMODULE ole32 = LoadSystemLibrary("ole32.dll");
    ComInitProc init = ole32 ? (ComInitProc) (void (*)(void)) GetProcAddress(ole32, "CoInitializeEx") : NULL;
    if (init)
        comSetUp = init(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

/* After the message loop: one CoUninitialize for the successful CoInitializeEx, S_FALSE
   included, none after RPC_E_CHANGED_MODE. */
void EndComForShell(void)
{
    HMODULE ole32 = GetModuleHandleA("ole32.dll");
    ComEndProc end = ole32 ? (ComEndProc) (void (*)(void)) GetProcAddress(ole32, "CoUninitialize") : NULL;
    if (SUCCEEDED(comSetUp) && end)
        end();
    comSetUp = E_FAIL;
}

/* Says that target, what the person asked for, could not be opened. */
void SayCannotOpen(HWND owner, LPCWSTR what, LPCWSTR target)
{
    WCHAR text[1024]; /* wsprintfW's most; a longer target is cut short */
    wsprintfW(text, L"%s cannot be opened:\n\n%s", what, target);
    MessageBoxW(owner, text, L"" PRODUCT_NAME, MB_OK | MB_ICONWARNING);
}

/* The shell's "open" of target; a failure is named in a message box, ours alone: the
   shell's own error boxes are off. One the person cancelled in the shell's prompt is no
   failure to tell of. */
BOOL OpenThroughShell(HWND owner, LPCWSTR what, LPCWSTR target, int show)
{
    InitComForShell();
    SHELLEXECUTEINFOW open;
    ZeroMemory(&open, sizeof open);
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_FLAG_NO_UI;
    open.hwnd = owner;
    open.lpVerb = L"open";
    open.lpFile = target;
    open.nShow = show;
    if (ShellExecuteExW(&open))
        return TRUE;
    if (GetLastError() != ERROR_CANCELLED)
        SayCannotOpen(owner, what, target);
    return FALSE;
}
