#include "shell.h"

#define README_NAME L"readme.txt"

/* Opens the read-me shipped beside the program, by its full path so that no other file of
   that name is found instead. Wide throughout: the folder may have letters the code page
   has not (a profile's name), which the ANSI calls turn into question marks. */
void OpenReadMe(HWND window)
{
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (!length || length >= MAX_PATH)
        return; /* cut short: not a path to build on */
    WCHAR *name = path + length;
    while (name > path && name[-1] != L'\\' && name[-1] != L'/')
        name--;
    if ((name - path) + sizeof README_NAME / sizeof(WCHAR) > MAX_PATH)
        return;
    lstrcpyW(name, README_NAME);
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        SayCannotOpen(window, L"The read-me", path);
    else
        OpenThroughShell(window, L"The read-me", path, SW_SHOWNORMAL);
}
