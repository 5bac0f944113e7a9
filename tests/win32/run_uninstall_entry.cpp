// Starts the uninstall entry's command as Windows' list of programs does: the
// value of UninstallString, given whole to CreateProcess. The entry is the user's
// (HKCU) or, for an install made under Program Files, the machine's. Waits for the
// command and returns its exit code (255 when the entry or the process is missing);
// the uninstaller ends as soon as its copy in TEMP has started.
#include <windows.h>

#include "app/suite_contract.h"

int main() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, suite::kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, suite::kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 255;
    char command[2048] = "";
    DWORD size = sizeof(command) - 1;
    LONG read = RegQueryValueExA(key, "UninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return 255;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 255;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
