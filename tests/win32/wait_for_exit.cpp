// Waits until no process of a name runs: what a test does after starting the suite
// through its stable launcher, which ends at once and leaves the installer it
// started running. Usage: wait_for_exit NAME SECONDS. Ends with 0 once none runs,
// 1 when one still runs at the end. With --list, prints every process the system
// knows, for a test that wants to say what ran when something did not happen.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Runs(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return true;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
        found = lstrcmpiA(entry.szExeFile, name) == 0;
    CloseHandle(snapshot);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
            std::printf("%lu %lu %s\n", entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile);
        CloseHandle(snapshot);
        return 0;
    }
    if (argc != 3) return 64;
    DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[2])) * 1000;
    while (Runs(argv[1])) {
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return 1;
        Sleep(100);
    }
    return 0;
}
