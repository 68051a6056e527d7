/* hold_file PATH: opens PATH for reading and writing with no sharing, as a
   program that keeps a file to itself does, says "held" on its output and
   keeps it until its input ends. Exit status 1 when the file cannot be
   opened. */
#include <stdio.h>
#include <windows.h>

int main(void) {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL || argc != 2) {
        fputs("usage: hold_file PATH\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hold_file: cannot open the file (error %lu)\n", GetLastError());
        return 1;
    }
    puts("held");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    CloseHandle(file);
    return 0;
}
