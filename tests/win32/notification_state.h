/* What shell32's SHQueryUserNotificationState answers the program, set by the test: Wine
   always answers "accepts", Windows as the person is (locked, presenting, a new account's
   first hour), so a test that expects a warning pins the answer it depends on. */
#ifndef QUILMAREN_TEST_NOTIFICATION_STATE_H
#define QUILMAREN_TEST_NOTIFICATION_STATE_H

#include "import_patch.h"

#include <shellapi.h>

namespace pinned {

typedef FARPROC(WINAPI *GetProcAddressProc)(HMODULE, LPCSTR);
typedef HRESULT(WINAPI *QueryProc)(QUERY_USER_NOTIFICATION_STATE *);

inline GetProcAddressProc realGetProcAddress;
inline QUERY_USER_NOTIFICATION_STATE answer;
inline int queries;

inline HRESULT WINAPI Answer(QUERY_USER_NOTIFICATION_STATE *state)
{
    queries++;
    *state = answer;
    return S_OK;
}

/* The program looks the call up at run time: its lookup finds ours instead. */
inline FARPROC WINAPI Lookup(HMODULE module, LPCSTR name)
{
    FARPROC real = realGetProcAddress(module, name);
    if (real && HIWORD(name) && lstrcmpA(name, "SHQueryUserNotificationState") == 0 &&
        module == GetModuleHandleA("shell32.dll"))
        return (FARPROC) (void (*)(void)) Answer;
    return real;
}

} // namespace pinned

/* From now on the program is told state; pinning again just changes the answer. False
   when the lookup could not be redirected. */
inline bool PinNotificationState(QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS)
{
    LoadLibraryA("shell32.dll"); /* the program links it */
    pinned::answer = state;
    if (pinned::realGetProcAddress)
        return true;
    pinned::realGetProcAddress = (pinned::GetProcAddressProc) (void (*)(void)) GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "GetProcAddress");
    return PatchImport("kernel32.dll", (const void *) pinned::realGetProcAddress, (const void *) pinned::Lookup) > 0;
}

/* What this session really answers now, whatever is pinned. */
inline QUERY_USER_NOTIFICATION_STATE SessionNotificationState()
{
    pinned::GetProcAddressProc lookup = pinned::realGetProcAddress ? pinned::realGetProcAddress : GetProcAddress;
    pinned::QueryProc query = (pinned::QueryProc) (void (*)(void)) lookup(LoadLibraryA("shell32.dll"),
                                                                          "SHQueryUserNotificationState");
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (query && FAILED(query(&state)))
        state = QUNS_ACCEPTS_NOTIFICATIONS;
    return state;
}

#endif
