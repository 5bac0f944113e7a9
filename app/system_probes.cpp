#include <winsock2.h>  // before windows.h

#include "app/system_probes.h"

#include "framework/wininet_calls.h"

#include <vector>

#include "app/install_paths.h"
#include "framework/file.h"

int GetOsClass() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes
    if (!GetVersionExA(&info)) return 0;
    switch (info.dwPlatformId) {
        case VER_PLATFORM_WIN32s: return 1;
        case VER_PLATFORM_WIN32_NT: return 2;
        default: return 0;  // the Windows 95 family and anything unknown
    }
}

int InitSockets() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return 0;
    if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
        WSACleanup();
        return 0;
    }
    return 1;
}

int IsInternetConnected() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) ? 1 : 0;
}

std::string GetLocalIp() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return "";
    char name[256] = {};
    if (gethostname(name, 255) != 0) return "";
    hostent* host = gethostbyname(name);
    if (!host || !host->h_addr_list) return "";
    std::string last;
    for (char** entry = host->h_addr_list; *entry; ++entry) {
        in_addr address;
        memcpy(&address, *entry, sizeof(address));
        const char* dotted = inet_ntoa(address);
        last = dotted ? dotted : "";
        if (!last.empty()) break;
    }
    return last;
}

int LaunchProgram(DWORD creationFlags, const std::string& commandLine, StartedProcess* started) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr,
                        &startup, &process))
        return 0;
    if (started) {
        started->handle = process.hProcess;
        started->id = process.dwProcessId;
    } else {
        CloseHandle(process.hProcess);
    }
    CloseHandle(process.hThread);
    return 1;
}

int LaunchSuite(const std::string& installRoot, const std::string& version, StartedProcess* process) {
    // Antivirus holds a program it has just seen, without sharing, while it scans it:
    // the start is tried again while the program is there (Wine says "not found" for
    // a held program, Windows a sharing violation).
    std::string program = install_paths::SuiteProgram(installRoot, version);
    bool started = file_system::RetryWhileHeldAgainstReading([&] {
        if (LaunchProgram(CREATE_NEW_CONSOLE, install_paths::SuiteCommand(installRoot, version), process)) return true;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND && GetFileAttributesA(program.c_str()) != INVALID_FILE_ATTRIBUTES)
            SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    });
    return started ? 1 : 0;
}
