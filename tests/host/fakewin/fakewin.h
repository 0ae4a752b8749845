/* Control and inspection of the Win32 stand-in, for host tests and the fuzzer. */
#ifndef QUILMAREN_FAKEWIN_H
#define QUILMAREN_FAKEWIN_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace fake {

#define OPTIONS_PATH "Software\\Quilmaren Filters\\Options"

struct Sound {
    std::string name;
    HMODULE module;
    DWORD flags;
};

/* Empty registry holding only HKCU\Software, clock at 2009-03-13 12:00, tick count 0,
   nothing recorded. */
void Reset();

void SetClock(int year, int month, int day, int hour = 12, int minute = 0);
void SetValue(const std::string &path, const std::string &name, DWORD type, const std::string &data);
void SetText(const std::string &name, const std::string &text); /* REG_SZ in Options, terminator counted */
void DeleteValue(const std::string &path, const std::string &name);
bool GetValue(const std::string &path, const std::string &name, DWORD *type, std::string *data);
bool KeyExists(const std::string &path);
void FailKey(const std::string &path); /* opening or creating it fails from now on */
void ReadOnlyKey(const std::string &path); /* it opens for reading; creating or writing it fails */
int OpenHandles();

extern DWORD tickCount; /* what GetTickCount answers: milliseconds, wrapping, apart from the clock */
extern std::vector<Sound> sounds;
extern int warningsShown;
extern std::function<void()> onWarning; /* runs inside ShowWarning */
extern int warningAnswer;               /* what the person answers it */
extern int broughtForward;              /* BringDialogForward calls */
extern std::vector<std::pair<DWORD, long long>> events; /* RecordWarningEvent calls: id, moment */
extern bool searchFlagKnown;               /* LoadLibraryExA takes LOAD_LIBRARY_SEARCH_SYSTEM32 */
extern std::vector<std::string> libraryLoads; /* each LoadLibrary call, as "name flags" or the path */
/* What SHQueryUserNotificationState answers; NO_NOTIFICATION_STATE: shell32 lacks it,
   FAILED_NOTIFICATION_STATE: the call fails. */
#define NO_NOTIFICATION_STATE 0
#define FAILED_NOTIFICATION_STATE -1
extern int notificationState;

} // namespace fake

#endif
