/* Holds a file open, without sharing delete access, until its standard input closes:
   the file is "in use" as a running or scanned program's would be. Usage: hold_file PATH */
#include <stdio.h>
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    printf("held\n");
    fflush(stdout);
    while (getchar() != EOF)
        ;
    CloseHandle(file);
    return 0;
}
