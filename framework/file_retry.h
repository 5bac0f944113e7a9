// Another process may hold a file that was just written: antivirus, the search
// indexer and Explorer open new files, often without sharing, for a second or
// more. Creating, replacing, renaming or deleting such a file (or the folder that
// holds it) then fails with a sharing violation, a lock violation or access denied,
// and succeeds a moment later. Every such call of the programs goes through this
// one rule: try again after a growing pause, about twenty seconds in all, and only
// then fail as the call fails.
#pragma once

#include <functional>

namespace file_retry {

// How one try of a file-system call ended.
enum class Try {
    Done,    // it succeeded
    Held,    // another process holds the file: worth waiting for
    Failed,  // it failed for good (no such path, a full disk, ...)
};

// The first pause, the longest one, and how long the pauses may take in all.
constexpr unsigned kFirstPauseMilliseconds = 50;
constexpr unsigned kLongestPauseMilliseconds = 2000;
constexpr unsigned kAllPausesMilliseconds = 20000;

// Waits `milliseconds`; the programs sleep, the tests count.
using Pause = std::function<void(unsigned milliseconds)>;

// Runs `attempt` until it is Done or Failed, or until the pauses have taken
// kAllPausesMilliseconds; each pause doubles the one before, up to the longest.
// True when a try was Done.
bool WhileHeld(const std::function<Try()>& attempt, const Pause& pause);

// The same with the system's own sleep.
bool WhileHeld(const std::function<Try()>& attempt);

// Whether the system's error code (GetLastError() on Windows, errno elsewhere)
// says that another process holds the file: for a call that writes, access denied
// too (what a file whose deletion is pending, or one a scanner holds, answers).
bool IsHeld(unsigned long error);
// The same for a call that only reads, where access denied means what it says.
bool IsHeldAgainstReading(unsigned long error);

}  // namespace file_retry
