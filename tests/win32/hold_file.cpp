// Holds a file open the way other programs do, so that tests can show what a held
// file does to an install. Usage: hold_file [--exclusive] PATH SECONDS.
// By default as a running program holds its own executable (reading shared,
// deleting and writing not), and at once; with --exclusive, sharing nothing, as a
// scanner that has just seen a new file does, taken as soon as the file appears
// (within a minute). Prints "held" once it has it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    bool exclusive = argc == 4 && std::strcmp(argv[1], "--exclusive") == 0;
    if (argc != (exclusive ? 4 : 3)) return 64;
    const char* path = argv[exclusive ? 2 : 1];
    DWORD seconds = static_cast<DWORD>(std::atoi(argv[exclusive ? 3 : 2]));
    HANDLE file = INVALID_HANDLE_VALUE;
    for (DWORD waited = 0; file == INVALID_HANDLE_VALUE && waited <= 60000; waited += 5) {
        file = CreateFileA(path, GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE && !exclusive) return 1;
        if (file == INVALID_HANDLE_VALUE) Sleep(5);
    }
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(seconds * 1000);
    CloseHandle(file);
    return 0;
}
