// The install run: everything after start-up has decided to install or update,
// as one machine of phases. It takes events (the user's answers, what the workers
// report, the time passed) and answers each with what to do next; it never calls
// the system itself, so that every rule of an install is a value in, a value out.
// The window draws what it says, and an update runs it with no window at all.
//
// An install is all or nothing: nothing is recorded until the version folder is
// whole and matches the signed package, and the running suite is asked to quit
// only then, for the switch alone. Any failure before that point leaves the
// installed suite as it was: an update makes sure it runs and says nothing (the
// user started the suite, not an installer, and the next start tries again); a
// fresh install says what went wrong. Either way the program ends.
#pragma once

#include "install/progress_display.h"

namespace install {

enum class RunMode { FreshInstall, Update };

enum class RunPhase {
    AwaitingTerms,    // fresh install: the terms are shown, nothing has been fetched
    FetchingChanges,  // update: the new folder is built from the installed one and what changed
    Downloading,      // the package is on its way into the version's TEMP folder
    Unpacking,       // the package is checked against its signed digest, then extracted
    AwaitingFinish,  // fresh install: the version folder is whole; Finish installs it
    Installing,      // the running suite is asked to quit and the install sequence runs
    Ended,           // nothing is left to do: the program ends
};

// What the driver of the run does at once, before the next event.
enum class RunAction {
    None,
    StartChanges,         // build the new folder from the installed one and the changed files
    StartDownload,        // (stop fetching changes, then) fetch the package into the version's TEMP folder
    StartUnpacking,       // check the package against its signed digest, then extract it
    StartInstalledSuite,  // update: the suite was not running and the update takes a while
    Install,              // ask the running suite to quit, then the install sequence
    GiveUp,               // stop the transfer, delete the package; see RunStep
    RecordDecline,        // store the date the terms were declined
};

// What a fresh install tells the user as it ends: why it gave up, or that the
// install completed without a new uninstaller.
enum class RunMessage { None, DownloadFailed, NotVerified, UnpackFailed, WorkerNotStarted, UninstallerNotWritten };

// How the check and extraction of the package ended.
enum class UnpackOutcome {
    Completed,    // every entry extracted whole from the signed package
    NotVerified,  // the package is not the one the vendor signed: nothing was extracted
    Failed,       // a damaged or hostile package, or an entry that could not be written
};

struct RunStep {
    RunAction action = RunAction::None;
    // In a fresh install: what to tell the user before the program ends.
    RunMessage message = RunMessage::None;
    // With GiveUp in an update: start the installed suite, unless it runs.
    bool startInstalledSuite = false;
};

class SetupRun {
 public:
    // A download that delivers nothing for this long has failed, whatever the
    // download service thinks: a server that stops sending may hold it for minutes.
    static constexpr unsigned kStalledDownloadMilliseconds = 60000;
    // An update that has not reached the switch after this long starts the
    // installed suite, when it was not running, so that a slow connection never
    // keeps the user from the suite; a quick update spares the user the restart.
    static constexpr unsigned kSuiteWaitMilliseconds = 3000;

    // `suiteRunning`: whether the installed suite was running when start-up decided;
    // `changesOffered`: an update whose release has a file list, with the installed
    // version's folder there to build from.
    SetupRun(RunMode mode, bool suiteRunning, bool changesOffered = false);

    RunStep Begin();
    RunStep AcceptTerms();
    RunStep DeclineTerms();
    // The download or unpacking thread could not be started.
    RunStep WorkerNotStarted();
    // Bytes fetched of the changes so far and, once known, in all (0 before).
    void ChangesProgress(unsigned long long fetched, unsigned long long total);
    // `whole`: the new folder is complete and every file is the listed one.
    RunStep ChangesEnded(bool whole);
    // Byte counts so far; a total of 0 is unknown.
    void DownloadProgress(unsigned long long received, unsigned long long total);
    RunStep DownloadEnded(bool whole);
    void UnpackProgress(int done, int count);
    RunStep UnpackEnded(UnpackOutcome outcome);
    RunStep Finish();
    // The install sequence has run and started the new suite; the old uninstaller
    // and its entry were kept when the new one could not be written.
    RunStep Installed(bool uninstallerWritten);
    RunStep Tick(unsigned elapsedMilliseconds);

    RunPhase Phase() const { return phase_; }
    RunMode Mode() const { return mode_; }
    // What the progress page shows now.
    ProgressDisplay Display() const;

 private:
    RunStep GiveUp(RunMessage message);
    // Any doubt about the changes: the whole package, as if they had not been offered.
    RunStep DownloadWholePackage();
    void TakeBytes(unsigned long long count, unsigned long long total);

    const RunMode mode_;
    const bool changesOffered_;
    RunPhase phase_;
    bool suiteRunning_;
    bool suiteStarted_ = false;
    unsigned sinceBegin_ = 0;
    unsigned sinceLastBytes_ = 0;
    unsigned long long received_ = 0;
    ProgressDisplay downloaded_ = kNothingShown;
    int entriesDone_ = 0;
    int entryCount_ = -1;  // not known until the package is open
};

}  // namespace install
