// Starting the installed suite, the one way every start of it goes: the first of the
// versions start-up chose (the recorded one when whole, then the other whole ones,
// newest first) whose suite can be started;
// and the start of a new suite after a switch, watched to tell whether it started.
#pragma once

#include <string>
#include <vector>

namespace install {

// Whether the suite's window is open.
bool SuiteRuns();

// Whether a suite that runs already counts: a start of the suite starts it again (the
// suite itself decides what a second start means), an update that only makes sure
// the user has it does not.
enum class WhenRunning { StartAnother, LeaveIt };

// True when a suite was started (or, with LeaveIt, runs).
bool StartInstalledSuite(const std::string& installRoot, const std::vector<std::string>& versions,
                         WhenRunning whenRunning);

// How a suite just started after a switch fared.
enum class StartHealth {
    Started,     // its window came, or it still runs when the watch ends
    NotCreated,  // its process could not be created
    EndedEarly,  // it ended before its window came
};

// The judgement from what was seen by the end of the watch.
inline StartHealth JudgeStart(bool created, bool windowSeen, bool ended) {
    if (!created) return StartHealth::NotCreated;
    if (windowSeen) return StartHealth::Started;
    return ended ? StartHealth::EndedEarly : StartHealth::Started;
}

// A suite that has not shown its window by then, and still runs, is taken to start
// slowly: a release that does not start ends (a crash, a missing library) or is
// never created (a program antivirus took) well within it.
constexpr unsigned kStartWatchMilliseconds = 5000;

// Starts the suite of `version` and watches it until its window comes, it ends, or
// the watch ends.
StartHealth StartAndWatch(const std::string& installRoot, const std::string& version,
                          unsigned watchMilliseconds = kStartWatchMilliseconds);

}  // namespace install
