/* The built program beside the test executable, loaded for its resources only. */
#ifndef QUILMAREN_TEST_EXE_MODULE_H
#define QUILMAREN_TEST_EXE_MODULE_H

#include <windows.h>

#include <string>

inline std::string ProgramPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of("\\/") + 1) + "QuilmarenFilters.exe";
}

inline HMODULE ProgramResources()
{
    static HMODULE module = LoadLibraryExA(ProgramPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

/* A resource's bytes, empty when it is absent. */
inline std::string ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type)
{
    HRSRC found = FindResourceA(module, name, type);
    if (!found)
        return std::string();
    const char *data = (const char *) LockResource(LoadResource(module, found));
    return std::string(data, SizeofResource(module, found));
}

#endif
