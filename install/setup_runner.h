// Drives the install run on this system: carries out what the run asks for
// (threads for the download and the unpacking, the quit request, the install
// sequence, starting the installed suite) and feeds the run what they report and
// the time passed. The setup window calls it from its timer and forwards the
// user's answers; an update calls it from a plain wait, with no window at all.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "install/changes_worker.h"
#include "install/setup_run.h"
#include "install/shortcuts.h"
#include "install/unpack_worker.h"
#include "net/download_worker.h"

namespace install {

// What start-up decided to install, and from where.
struct RunRequest {
    RunMode mode = RunMode::FreshInstall;
    std::string installRoot;
    std::string installedVersion;  // "" when nothing is installed
    std::string version;           // the whole version text: it names the version folder
    std::string downloadUrl;
    std::string sha256;       // the package's signed digest, 64 hexadecimal digits
    std::string fileListUrl;  // the release's signed file list; "" when the manifest names none
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
    ProgressDisplay Display() const { return run_.Display(); }
    // What a fresh install tells the user as it ends.
    RunMessage Message() const { return message_; }
    // The shortcuts the install sequence could not write, for a fresh install to tell.
    const std::vector<ShortcutResult>& ShortcutFailures() const { return shortcutFailures_; }

 private:
    void Carry(const RunStep& step);
    void StartChanges();
    void StartDownload();
    void StartUnpacking();
    void Install();
    void GiveUp(const RunStep& step);
    bool SuiteRuns() const;

    const RunRequest request_;
    SetupRun run_;
    ChangesWorker changes_;
    DownloadWorker download_;
    UnpackWorker unpack_;
    DWORD lastPoll_;
    RunMessage message_ = RunMessage::None;
    std::vector<ShortcutResult> shortcutFailures_;
};

}  // namespace install
