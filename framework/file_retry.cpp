#include "framework/file_retry.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <time.h>
#endif

namespace file_retry {

bool WhileHeld(const std::function<Try()>& attempt, const Pause& pause) {
    unsigned waited = 0;
    unsigned next = kFirstPauseMilliseconds;
    for (;;) {
        Try outcome = attempt();
        if (outcome == Try::Done) return true;
        if (outcome == Try::Failed || waited >= kAllPausesMilliseconds) return false;
        unsigned wait = std::min(next, kAllPausesMilliseconds - waited);
        pause(wait);
        waited += wait;
        next = std::min(next * 2, kLongestPauseMilliseconds);
    }
}

#if defined(_WIN32)

bool WhileHeld(const std::function<Try()>& attempt) {
    return WhileHeld(attempt, [](unsigned milliseconds) { Sleep(milliseconds); });
}

bool IsHeld(unsigned long error) {
    // A file that a scanner has open without sharing gives one of these, depending on
    // the call and on what the scanner asked for; so does a file whose deletion is
    // pending until its last handle closes.
    return IsHeldAgainstReading(error) || error == ERROR_ACCESS_DENIED;
}

bool IsHeldAgainstReading(unsigned long error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

#else

bool WhileHeld(const std::function<Try()>& attempt) {
    return WhileHeld(attempt, [](unsigned milliseconds) {
        struct timespec pause = {static_cast<time_t>(milliseconds / 1000),
                                 static_cast<long>(milliseconds % 1000) * 1000000L};
        nanosleep(&pause, nullptr);
    });
}

// No other process can hold a file against us on these systems but by using it as
// a mount point or a running program.
bool IsHeld(unsigned long error) { return error == EBUSY || error == ETXTBSY; }

bool IsHeldAgainstReading(unsigned long error) { return error == EBUSY; }

#endif

}  // namespace file_retry
