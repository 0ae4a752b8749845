/* Redirects one of this executable's imports, so a test can make a system call fail or
   watch it without any hook in the program's code. */
#ifndef QUILMAREN_TEST_IMPORT_PATCH_H
#define QUILMAREN_TEST_IMPORT_PATCH_H

#include <windows.h>

/* Points the import table entries of dll that hold from at to; returns how many changed. */
inline int PatchImport(const char *dll, const void *from, const void *to)
{
    BYTE *base = (BYTE *) GetModuleHandleA(NULL);
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *) (base + ((IMAGE_DOS_HEADER *) base)->e_lfanew);
    IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int changed = 0;
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *) (base + imports.VirtualAddress); d->Name; d++) {
        if (lstrcmpiA((const char *) base + d->Name, dll) != 0)
            continue;
        for (IMAGE_THUNK_DATA *t = (IMAGE_THUNK_DATA *) (base + d->FirstThunk); t->u1.Function; t++) {
            if ((const void *) t->u1.Function != from)
                continue;
            DWORD old;
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, PAGE_READWRITE, &old);
            t->u1.Function = (DWORD_PTR) to;
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, old, &old);
            changed++;
        }
    }
    return changed;
}

#endif
