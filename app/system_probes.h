// Small questions to the operating system. None keeps state; each reports failure
// by its result only.
#pragma once

#include <windows.h>

#include <string>

// 0: Windows 95 family, unknown platform or failed query; 1: Win32s; 2: NT family.
int GetOsClass();
// 1 when Windows Sockets 1.1 started, else 0.
int InitSockets();
// 1 when the system says the machine is connected, else 0.
int IsInternetConnected();
// The first address of the host entry of this machine's name, or "" when none.
std::string GetLocalIp();
// A process just started: its handle (the caller closes it) and its id.
struct StartedProcess {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

// Starts a program; the command line is the program path, a blank and its
// arguments. Returns 1 when the process was created. The child is not waited for;
// with `process`, its handle is handed over.
int LaunchProgram(DWORD creationFlags, const std::string& commandLine, StartedProcess* process = nullptr);
// Starts the suite of `version` below `installRoot` the one way every start of it
// goes: its own console, the quoted path and the launch token. Returns as
// LaunchProgram; nothing is shown when the suite is not there.
int LaunchSuite(const std::string& installRoot, const std::string& version, StartedProcess* process = nullptr);
