/* The least a launcher can do: start a program with one argument, as InitVL2.exe
   starts the suite, and end. Built by the start-up benchmark to show what
   InitVL2.exe costs beyond that. Usage: null_launcher PROGRAM ARGUMENT */
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
    char command[2048];
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
    if (argc != 3) return 64;
    snprintf(command, sizeof(command), "\"%s\" %s", argv[1], argv[2]);
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, CREATE_NEW_CONSOLE, NULL, NULL, &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
