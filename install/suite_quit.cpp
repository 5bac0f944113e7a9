#include "install/suite_quit.h"

#include <windows.h>

#include "app/suite_contract.h"
#include "framework/scoped.h"

namespace install {

namespace {

// Without its process (another user's, or one that cannot be opened) a copy of the
// suite has ended once its window has gone.
bool WindowGoneWithin(HWND window, DWORD milliseconds) {
    const DWORD kLook = 100;
    DWORD began = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - began >= milliseconds) return false;
        Sleep(kLook);
    }
    return true;
}

SuiteQuit AskOneToQuit(HWND window, unsigned answerMilliseconds, unsigned endMilliseconds) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Opened before the request, so that the process is still the one asked when it
    // is waited for.
    ScopedHandle process(processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, suite::kQuitRequest, 0, 0, SMTO_ABORTIFHUNG, answerMilliseconds, &answer);
    if (!process) return WindowGoneWithin(window, endMilliseconds) ? SuiteQuit::Ended : SuiteQuit::StillRuns;
    return WaitForSingleObject(process.Get(), endMilliseconds) == WAIT_OBJECT_0 ? SuiteQuit::Ended
                                                                                : SuiteQuit::StillRuns;
}

}  // namespace

SuiteQuit AskSuiteToQuit(unsigned answerMilliseconds, unsigned endMilliseconds) {
    // Every copy that runs is asked: a second start of the suite may have opened a
    // second one, which would hold its files and outlive the switch.
    const int kMostCopies = 8;
    SuiteQuit result = SuiteQuit::NotRunning;
    for (int asked = 0; asked < kMostCopies; ++asked) {
        HWND window = FindWindowA(suite::kWindowClass, nullptr);
        if (!window) return result;
        if (AskOneToQuit(window, answerMilliseconds, endMilliseconds) == SuiteQuit::StillRuns)
            return SuiteQuit::StillRuns;
        result = SuiteQuit::Ended;
    }
    return FindWindowA(suite::kWindowClass, nullptr) ? SuiteQuit::StillRuns : result;
}

}  // namespace install
