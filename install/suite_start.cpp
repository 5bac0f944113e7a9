#include "install/suite_start.h"

#include <windows.h>

#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "framework/scoped.h"

namespace install {

bool SuiteRuns() { return FindWindowA(suite::kWindowClass, nullptr) != nullptr; }

namespace {

// Whether a top-level window of the suite's class belongs to `processId`.
bool HasWindow(DWORD processId) {
    for (HWND window = FindWindowExA(nullptr, nullptr, suite::kWindowClass, nullptr); window;
         window = FindWindowExA(nullptr, window, suite::kWindowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return true;
    }
    return false;
}

}  // namespace

StartHealth StartAndWatch(const std::string& installRoot, const std::string& version, unsigned watchMilliseconds) {
    StartedProcess started;
    if (!LaunchSuite(installRoot, version, &started)) return JudgeStart(false, false, false);
    ScopedHandle process(started.handle);
    DWORD processId = started.id;
    const DWORD kLook = 100;
    bool windowSeen = false, ended = false;
    for (DWORD waited = 0; !windowSeen && !ended && waited < watchMilliseconds; waited += kLook) {
        windowSeen = HasWindow(processId);
        if (!windowSeen) ended = WaitForSingleObject(process.Get(), kLook) == WAIT_OBJECT_0;
    }
    return JudgeStart(true, windowSeen, ended);
}

bool StartInstalledSuite(const std::string& installRoot, const std::vector<std::string>& versions,
                         WhenRunning whenRunning) {
    if (whenRunning == WhenRunning::LeaveIt && SuiteRuns()) return true;
    // A program that antivirus took away, or that cannot be run, gives way to the
    // next version that is there: the user gets a suite.
    for (const std::string& version : versions)
        if (LaunchSuite(installRoot, version)) return true;
    return false;
}

}  // namespace install
