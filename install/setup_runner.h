// Drives the install run on this system: carries out what the run asks for (the
// workers that fetch the changes, download and unpack, the switch, starting the
// installed suite) and feeds the run what they report and the time passed. The
// setup window calls it from its timer and forwards the user's answers; an update
// calls it from a plain wait, with no window at all.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/worker.h"
#include "install/setup_run.h"
#include "install/shortcuts.h"
#include "install/unpack_package.h"
#include "install/update_changes.h"
#include "net/manifest.h"
#include "net/package_download.h"

namespace install {

// What start-up decided to install, and from where.
struct RunRequest {
    RunMode mode = RunMode::FreshInstall;
    // Where this run builds and records the new version.
    std::string installRoot;
    // Where the installed suite is: the same, unless this run moves the suite out of
    // a folder it cannot write (an install made under Program Files).
    std::string installedRoot;
    std::string installedVersion;  // "" when nothing is installed
    OfferedRelease release;        // the release to install, as start-up chose and checked it
    std::string fileListUrl;       // its signed file list, when an update may build from it; else ""
    // What starting the installed suite starts, in order: the recorded version when
    // whole, then the other whole ones.
    std::vector<std::string> startable;
    // Start-up started the installed suite already (the server answered late).
    bool suiteStarted = false;
};

class SetupRunner {
 public:
    explicit SetupRunner(const RunRequest& request);
    SetupRunner(const SetupRunner&) = delete;
    SetupRunner& operator=(const SetupRunner&) = delete;

    void Begin();
    void AcceptTerms();
    void DeclineTerms();
    void Finish();
    // Takes in what the workers did since the last call and the time passed, and acts.
    void Poll();
    // Waits until a worker ends or `milliseconds` pass.
    void WaitForWork(DWORD milliseconds) const;

    RunPhase Phase() const { return run_.Phase(); }
    bool HasEnded() const { return install::HasEnded(run_.Phase()); }
    ProgressDisplay Display() const { return run_.Display(); }
    // What a fresh install tells the user as it ends.
    RunMessage Message() const { return message_; }
    // The shortcuts the install sequence could not write, for a fresh install to tell.
    const std::vector<ShortcutResult>& ShortcutFailures() const { return shortcutFailures_; }

 private:
    void Carry(const RunStep& step);
    void StartChanges();
    void StartDownload(bool fromNothing);
    void StartUnpacking();
    void Install();
    void GiveUp();
    // Stops the worker that builds from the changes, if it runs; false when it did not end.
    bool StopChanges();
    // Empties the staging of everything but the package this run may finish downloading.
    void EmptyStaging() const;
    // A new folder of the staging for the version to be built in.
    bool NewTree();
    void StartInstalledSuite() const;

    const RunRequest request_;
    const std::string staging_;
    const std::string stagedPackage_;
    SetupRun run_;
    Worker<ChangesResult> changes_;
    Worker<DownloadResult> download_;
    Worker<UnpackOutcome> unpack_;
    bool stagingEmptied_ = false;
    std::string tree_;
    uint64_t listedPackageSize_ = 0;
    DWORD lastPoll_;
    RunMessage message_ = RunMessage::None;
    std::vector<ShortcutResult> shortcutFailures_;
};

}  // namespace install
