#include "fakewin.h"
#include "reminder.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

struct FakeKey {
    std::string path;
};

struct StoredValue {
    DWORD type;
    std::string data;
};

namespace fake {

DWORD tickCount;
std::vector<Sound> sounds;
int warningsShown;
std::function<void()> onWarning;
int warningAnswer;
int broughtForward;
std::vector<std::pair<DWORD, long long>> events;
bool searchFlagKnown;
std::vector<std::string> libraryLoads;
int notificationState;
static DWORD lastError;

static SYSTEMTIME localClock;
static std::map<std::string, std::map<std::string, StoredValue>> keys; /* lower-case path -> values */
static std::set<std::string> failing, readOnly;
static std::set<FakeKey *> handles;

static std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return (char) std::tolower(c); });
    return text;
}

void Reset()
{
    for (FakeKey *key : handles)
        delete key;
    handles.clear();
    keys.clear();
    failing.clear();
    readOnly.clear();
    keys["software"];
    tickCount = 0;
    sounds.clear();
    warningsShown = 0;
    onWarning = nullptr;
    warningAnswer = ANSWER_DONE;
    broughtForward = 0;
    events.clear();
    searchFlagKnown = true;
    libraryLoads.clear();
    notificationState = NO_NOTIFICATION_STATE;
    SetClock(2009, 3, 13);
}

void SetClock(int year, int month, int day, int hour, int minute)
{
    localClock = SYSTEMTIME{(WORD) year, (WORD) month, 0, (WORD) day, (WORD) hour, (WORD) minute, 0, 0};
}

void SetValue(const std::string &path, const std::string &name, DWORD type, const std::string &data)
{
    std::string p = Lower(path);
    for (size_t at = p.find('\\'); at != std::string::npos; at = p.find('\\', at + 1))
        keys[p.substr(0, at)];
    keys[p][Lower(name)] = StoredValue{type, data};
}

void SetText(const std::string &name, const std::string &text)
{
    SetValue(OPTIONS_PATH, name, REG_SZ, text + std::string(1, '\0'));
}

void DeleteValue(const std::string &path, const std::string &name)
{
    auto key = keys.find(Lower(path));
    if (key != keys.end())
        key->second.erase(Lower(name));
}

bool GetValue(const std::string &path, const std::string &name, DWORD *type, std::string *data)
{
    auto key = keys.find(Lower(path));
    if (key == keys.end())
        return false;
    auto value = key->second.find(Lower(name));
    if (value == key->second.end())
        return false;
    *type = value->second.type;
    *data = value->second.data;
    return true;
}

bool KeyExists(const std::string &path)
{
    return keys.count(Lower(path)) != 0;
}

void FailKey(const std::string &path)
{
    failing.insert(Lower(path));
}

void ReadOnlyKey(const std::string &path)
{
    readOnly.insert(Lower(path));
}

int OpenHandles()
{
    return (int) handles.size();
}

/* The full lower-case path of a subkey, or false for a handle that is not open. */
static bool SubkeyPath(HKEY key, LPCSTR subKey, std::string *path)
{
    if (key == HKEY_CURRENT_USER)
        *path = "";
    else if (key == HKEY_LOCAL_MACHINE)
        *path = "machine\\";
    else if (handles.count(key))
        *path = key->path + "\\";
    else
        return false;
    *path += Lower(subKey);
    return true;
}

static HKEY NewHandle(const std::string &path)
{
    FakeKey *key = new FakeKey{path};
    handles.insert(key);
    return key;
}

} // namespace fake

using namespace fake;

void GetLocalTime(SYSTEMTIME *time)
{
    *time = fake::localClock;
}

DWORD GetTickCount(void)
{
    return fake::tickCount;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    std::string path;
    if (!SubkeyPath(key, subKey, &path))
        return ERROR_INVALID_HANDLE;
    if (!keys.count(path) || failing.count(path))
        return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition)
{
    std::string path;
    if (!SubkeyPath(key, subKey, &path))
        return ERROR_INVALID_HANDLE;
    if (failing.count(path) || readOnly.count(path))
        return ERROR_ACCESS_DENIED;
    bool existed = keys.count(path) != 0;
    keys[path];
    if (disposition)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE *data, DWORD size)
{
    if (!handles.count(key))
        return ERROR_INVALID_HANDLE;
    keys[key->path][Lower(name)] = StoredValue{type, std::string((const char *) data, size)};
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (!handles.count(key))
        return ERROR_INVALID_HANDLE;
    auto &values = keys[key->path];
    auto value = values.find(Lower(name));
    if (value == values.end())
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->second.type;
    DWORD needed = (DWORD) value->second.data.size();
    if (data && size && *size < needed) {
        /* Like Windows, the buffer's content is undefined after ERROR_MORE_DATA. */
        memset(data, 0xCC, *size);
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && size)
        memcpy(data, value->second.data.data(), needed);
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

LONG RegGetValueA(HKEY key, LPCSTR subKey, LPCSTR name, DWORD flags, LPDWORD type, void *data, LPDWORD size)
{
    std::string path;
    if (!SubkeyPath(key, subKey, &path))
        return ERROR_INVALID_HANDLE;
    if (!keys.count(path) || failing.count(path))
        return ERROR_FILE_NOT_FOUND;
    auto value = keys[path].find(Lower(name));
    if (value == keys[path].end())
        return ERROR_FILE_NOT_FOUND;
    std::string bytes = value->second.data;
    DWORD wanted = flags == RRF_RT_REG_DWORD ? REG_DWORD : REG_SZ;
    if (value->second.type != wanted || (wanted == REG_DWORD && bytes.size() != 4))
        return ERROR_UNSUPPORTED_TYPE;
    if (wanted == REG_SZ && (bytes.empty() || bytes.back() != '\0'))
        bytes += '\0';
    if (type)
        *type = wanted;
    if (*size < bytes.size()) {
        *size = (DWORD) bytes.size();
        return ERROR_MORE_DATA;
    }
    memcpy(data, bytes.data(), bytes.size());
    *size = (DWORD) bytes.size();
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (!handles.erase(key))
        return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags)
{
    sounds.push_back(Sound{sound, module, flags});
    return 0; /* no sound device here */
}

#define SYSTEM_DIRECTORY "C:\\Windows\\system32"

HMODULE LoadLibraryW(LPCWSTR name)
{
    std::string path;
    while (*name)
        path += (char) *name++; /* the names loaded are ASCII */
    libraryLoads.push_back(path);
    return Lower(path) == Lower(SYSTEM_DIRECTORY "\\winmm.dll") ? (HMODULE) &sounds : NULL;
}

HMODULE LoadLibraryExA(LPCSTR name, void *, DWORD flags)
{
    libraryLoads.push_back(std::string(name) + " " + std::to_string(flags));
    if (flags & ~(DWORD) LOAD_LIBRARY_SEARCH_SYSTEM32 || !searchFlagKnown) {
        lastError = ERROR_INVALID_PARAMETER;
        return NULL;
    }
    return Lower(name) == "winmm.dll" ? (HMODULE) &sounds : NULL;
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size)
{
    const char directory[] = SYSTEM_DIRECTORY;
    if (size < sizeof directory)
        return sizeof directory;
    for (size_t i = 0; i < sizeof directory; i++)
        buffer[i] = (unsigned char) directory[i];
    return sizeof directory - 1;
}

DWORD GetLastError(void)
{
    return lastError;
}

LPSTR lstrcpynA(LPSTR to, LPCSTR from, int size)
{
    snprintf(to, size, "%s", from);
    return to;
}

static HRESULT WINAPI QueryNotificationState(QUERY_USER_NOTIFICATION_STATE *state)
{
    if (notificationState == FAILED_NOTIFICATION_STATE)
        return E_FAIL;
    *state = (QUERY_USER_NOTIFICATION_STATE) notificationState;
    return S_OK;
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    return Lower(name) == "shell32.dll" ? (HMODULE) &notificationState : NULL;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (module == (HMODULE) &sounds && std::string(name) == "PlaySoundA")
        return (FARPROC) (void (*)(void)) PlaySoundA;
    if (module == (HMODULE) &notificationState && std::string(name) == "SHQueryUserNotificationState" &&
        notificationState != NO_NOTIFICATION_STATE)
        return (FARPROC) (void (*)(void)) QueryNotificationState;
    return NULL;
}

int lstrlenA(LPCSTR text)
{
    return text ? (int) strlen(text) : 0;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int written = vsnprintf(buffer, 1024, format, args);
    va_end(args);
    return written;
}

int ShowWarning(void)
{
    warningsShown++;
    if (onWarning)
        onWarning();
    return warningAnswer;
}

BOOL BringDialogForward(void)
{
    broughtForward++;
    return 1;
}

void RecordWarningEvent(DWORD id, long long moment)
{
    events.emplace_back(id, moment);
}
