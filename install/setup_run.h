// The install run: everything after start-up has decided to install or update,
// as one machine of phases. It takes events (the user's answers, what the workers
// report, the time passed) and answers each with what to do next; it never calls
// the system itself, so that every rule of an install is a value in, a value out.
// The window draws what it says, and an update runs it with no window at all.
//
// An install is all or nothing: the new version is built in the run's staging, and
// only once it is whole and matches what the vendor signed does it get its version
// folder's name; the running suite is asked to quit only then, for the switch
// alone. Any failure before that point leaves the installed suite as it was: an
// update makes sure it runs and says nothing (the user started the suite, not an
// installer, and the next start tries again); a fresh install says what went wrong.
#pragma once

#include "install/changed_files.h"
#include "install/progress_display.h"
#include "install/unpack_package.h"
#include "net/package_download.h"

namespace install {

enum class RunMode { FreshInstall, Update };

enum class RunPhase {
    AwaitingTerms,    // fresh install: the terms are shown, nothing has been fetched
    FetchingChanges,  // update: the new version is built from the installed one and what changed
    Downloading,      // the package is on its way into the staging
    Unpacking,        // the package is checked against its signed digest, then extracted into the staging
    AwaitingFinish,   // fresh install: the new version is whole; Finish installs it
    Installing,       // the switch: the version folder named, the suite asked to quit, the records written
    Installed,        // ended: the new version is recorded and its suite started
    Declined,         // ended: the terms were declined; the date is recorded
    GaveUp,           // ended: nothing was recorded; an update leaves the installed suite running
};
//   AwaitingTerms   --accepted--> Downloading        --declined--> Declined
//   FetchingChanges --built--> Installing           --doubt, stall, no thread--> Downloading
//                   --disk full, or the worker will not stop--> GaveUp
//   Downloading     --complete--> Unpacking          --anything else, 60 s without a byte--> GaveUp
//   Unpacking       --completed--> AwaitingFinish (fresh) or Installing (update)
//                   --a resumed package that is not the signed one--> Downloading, once, from nothing
//                   --anything else--> GaveUp
//   AwaitingFinish  --Finish--> Installing
//   Installing      --installed--> Installed         --the folder could not be named--> GaveUp
// A worker that cannot be started ends the run (GaveUp) where it is needed.

bool HasEnded(RunPhase phase);

// What the driver of the run does at once, before the next event.
enum class RunAction {
    None,
    StartChanges,    // build the new version in the staging from the installed one and the changed files
    StartDownload,   // (stop building from the changes, then) fetch the package into the staging
    StartUnpacking,  // check the package against its signed digest, then extract it into the staging
    Install,         // the switch (see RunPhase::Installing)
    GiveUp,          // stop every worker and empty the staging; see RunStep
    RecordDecline,   // store the date the terms were declined
};

// What a fresh install tells the user as it ends: why it gave up, or that the
// install completed without a new uninstaller.
enum class RunMessage {
    None,
    DownloadFailed,
    NotVerified,
    UnpackFailed,
    DiskFull,
    WorkerNotStarted,
    UninstallerNotWritten,
};

struct RunStep {
    RunAction action = RunAction::None;
    // In a fresh install: what to tell the user before the program ends.
    RunMessage message = RunMessage::None;
    // Start the installed suite (an update's, unless it runs): decided here alone.
    bool startInstalledSuite = false;
    // With StartDownload: keep nothing of an earlier download of the package.
    bool downloadFromNothing = false;
};

class SetupRun {
 public:
    // A download that delivers nothing for this long has failed, whatever the server
    // holds it open for.
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
    // A worker asked to stop did not end within its bound: nothing else may write
    // while it might, so the run ends.
    RunStep WorkerDidNotStop();
    // Bytes fetched so far and, once known, in all (0 before), counted as they arrive.
    void ChangesProgress(unsigned long long fetched, unsigned long long total);
    RunStep ChangesEnded(ChangesOutcome outcome);
    // Byte counts so far; a total of 0 is unknown.
    void DownloadProgress(unsigned long long received, unsigned long long total);
    // `resumed`: the download went on from bytes an earlier attempt kept.
    RunStep DownloadEnded(DownloadOutcome outcome, bool resumed);
    void UnpackProgress(int done, int count);
    RunStep UnpackEnded(UnpackOutcome outcome);
    RunStep Finish();
    // The version folder could not be given its name: nothing was recorded.
    RunStep NotPlaced();
    // The switch is done and the new suite started; the old uninstaller and its
    // entry were kept when the new one could not be written.
    RunStep Installed(bool uninstallerWritten);
    RunStep Tick(unsigned elapsedMilliseconds);

    RunPhase Phase() const { return phase_; }
    RunMode Mode() const { return mode_; }
    // What the progress page shows now.
    ProgressDisplay Display() const;

 private:
    RunStep GiveUp(RunMessage message);
    // Any doubt about the changes: the whole package, as if they had not been offered.
    RunStep DownloadWholePackage(bool fromNothing);
    void TakeBytes(unsigned long long count, unsigned long long total);

    const RunMode mode_;
    const bool changesOffered_;
    RunPhase phase_;
    bool suiteRunning_;
    bool suiteStarted_ = false;
    bool resumedDownload_ = false;
    bool downloadedAgain_ = false;
    unsigned sinceBegin_ = 0;
    unsigned sinceLastBytes_ = 0;
    unsigned long long received_ = 0;
    ProgressDisplay downloaded_ = kNothingShown;
    int entriesDone_ = 0;
    int entryCount_ = -1;  // not known until the package is open
};

}  // namespace install
