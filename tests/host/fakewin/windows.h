/* Test-only stand-in for the few Win32 calls the reminder core makes:
   an in-memory registry, settable local and tick clocks and a record of sounds. */
#ifndef QUILMAREN_FAKE_WINDOWS_H
#define QUILMAREN_FAKE_WINDOWS_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define CONST const

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef uint16_t WCHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef DWORD REGSAM;
typedef struct FakeKey *HKEY;
typedef HKEY *PHKEY;
typedef struct FakeModule *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct FakeSecurity *LPSECURITY_ATTRIBUTES;

#define HKEY_CURRENT_USER ((HKEY) (uintptr_t) 0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY) (uintptr_t) 0x80000002) /* its keys: paths under "HKLM\\" */

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_ALL_ACCESS 0xF003F
#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define SND_RESOURCE 0x00040004L
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#define MAX_PATH 260

typedef int32_t HRESULT;
#define S_OK ((HRESULT) 0)
#define E_FAIL ((HRESULT) 0x80004005)
#define FAILED(hr) ((HRESULT) (hr) < 0)

typedef enum {
    QUNS_NOT_PRESENT = 1,
    QUNS_BUSY = 2,
    QUNS_RUNNING_D3D_FULL_SCREEN = 3,
    QUNS_PRESENTATION_MODE = 4,
    QUNS_ACCEPTS_NOTIFICATIONS = 5,
    QUNS_QUIET_TIME = 6,
    QUNS_APP = 7
} QUERY_USER_NOTIFICATION_STATE;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;

void GetLocalTime(SYSTEMTIME *time);
DWORD GetTickCount(void);

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegCloseKey(HKEY key);

BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
/* Only winmm loads: by its bare name from the system directory, or by its full path. */
HMODULE LoadLibraryW(LPCWSTR name);
HMODULE LoadLibraryExA(LPCSTR name, void *file, DWORD flags);
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
DWORD GetLastError(void);
LPSTR lstrcpynA(LPSTR to, LPCSTR from, int size);
typedef int (*FARPROC)(void);
FARPROC GetProcAddress(HMODULE module, LPCSTR name); /* winmm's "PlaySoundA", shell32's SHQueryUserNotificationState */
HMODULE GetModuleHandleA(LPCSTR name);                /* "shell32.dll" only */
int lstrlenA(LPCSTR text);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);

#endif
