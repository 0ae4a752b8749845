#include "shell.h"

#define README_NAME "readme.txt"

/* Opens the read-me shipped beside the program, by its full path so that no other file of
   that name is found instead; without one, Help has nothing to show. */
void OpenReadMe(HWND window)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (!length || length >= sizeof path)
        return; /* cut short: not a path to build on */
    char *name = path + length;
    while (name > path && name[-1] != '\\' && name[-1] != '/')
        name--;
    if ((name - path) + sizeof README_NAME > sizeof path)
        return;
    lstrcpyA(name, README_NAME);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    ShellExecuteA(window, "open", path, NULL, NULL, SW_SHOWNORMAL);
}
