#include "install/suite_quit.h"

#include <windows.h>

#include "app/suite_contract.h"
#include "framework/scoped.h"

namespace install {

namespace {

// Without its process (another user's, or one that cannot be opened) the suite has
// ended once its window has gone.
bool WindowGoneWithin(DWORD milliseconds) {
    const DWORD kLook = 100;
    DWORD began = GetTickCount();
    while (FindWindowA(suite::kWindowClass, nullptr)) {
        if (GetTickCount() - began >= milliseconds) return false;
        Sleep(kLook);
    }
    return true;
}

}  // namespace

SuiteQuit AskSuiteToQuit(unsigned answerMilliseconds, unsigned endMilliseconds) {
    HWND window = FindWindowA(suite::kWindowClass, nullptr);
    if (!window) return SuiteQuit::NotRunning;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Opened before the request, so that the process is still the one asked when it
    // is waited for.
    ScopedHandle process(processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, suite::kQuitRequest, 0, 0, SMTO_ABORTIFHUNG, answerMilliseconds, &answer);
    if (!process) return WindowGoneWithin(endMilliseconds) ? SuiteQuit::Ended : SuiteQuit::StillRuns;
    return WaitForSingleObject(process.Get(), endMilliseconds) == WAIT_OBJECT_0 ? SuiteQuit::Ended
                                                                                : SuiteQuit::StillRuns;
}

}  // namespace install
