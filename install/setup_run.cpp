#include "install/setup_run.h"

namespace install {

bool HasEnded(RunPhase phase) {
    return phase == RunPhase::Installed || phase == RunPhase::Declined || phase == RunPhase::GaveUp;
}

SetupRun::SetupRun(RunMode mode, bool suiteRunning, bool changesOffered)
    : mode_(mode),
      changesOffered_(mode == RunMode::Update && changesOffered),
      phase_(mode == RunMode::FreshInstall ? RunPhase::AwaitingTerms
                                            : changesOffered_ ? RunPhase::FetchingChanges : RunPhase::Downloading),
      suiteRunning_(suiteRunning) {}

RunStep SetupRun::Begin() {
    // An update needs no answer from anybody: it fetches at once, only what changed
    // when it can. A fresh install has nothing to build from.
    if (mode_ == RunMode::FreshInstall) return {};
    RunStep step;
    step.action = changesOffered_ ? RunAction::StartChanges : RunAction::StartDownload;
    return step;
}

RunStep SetupRun::AcceptTerms() {
    // A second click, or one that reaches a hidden button later, starts nothing more.
    if (phase_ != RunPhase::AwaitingTerms) return {};
    phase_ = RunPhase::Downloading;
    RunStep step;
    step.action = RunAction::StartDownload;
    return step;
}

RunStep SetupRun::DeclineTerms() {
    if (phase_ != RunPhase::AwaitingTerms) return {};
    phase_ = RunPhase::Declined;
    RunStep step;
    step.action = RunAction::RecordDecline;
    return step;
}

RunStep SetupRun::WorkerNotStarted() {
    if (phase_ == RunPhase::FetchingChanges) return DownloadWholePackage(false);
    if (phase_ != RunPhase::Downloading && phase_ != RunPhase::Unpacking) return {};
    return GiveUp(RunMessage::WorkerNotStarted);
}

RunStep SetupRun::WorkerDidNotStop() {
    if (HasEnded(phase_)) return {};
    return GiveUp(RunMessage::DownloadFailed);
}

void SetupRun::TakeBytes(unsigned long long count, unsigned long long total) {
    if (count != received_) {
        received_ = count;
        sinceLastBytes_ = 0;
    }
    downloaded_ = Further(downloaded_, DisplayForBytes(count, total));
}

void SetupRun::ChangesProgress(unsigned long long fetched, unsigned long long total) {
    if (phase_ == RunPhase::FetchingChanges) TakeBytes(fetched, total);
}

RunStep SetupRun::ChangesEnded(ChangesOutcome outcome) {
    if (phase_ != RunPhase::FetchingChanges) return {};
    switch (outcome) {
        case ChangesOutcome::Built: {
            phase_ = RunPhase::Installing;
            RunStep step;
            step.action = RunAction::Install;
            return step;
        }
        case ChangesOutcome::DiskFull: return GiveUp(RunMessage::DiskFull);
        case ChangesOutcome::Doubt:
        case ChangesOutcome::Stopped: break;
    }
    return DownloadWholePackage(false);
}

RunStep SetupRun::DownloadWholePackage(bool fromNothing) {
    phase_ = RunPhase::Downloading;
    received_ = 0;
    sinceLastBytes_ = 0;
    RunStep step;
    step.action = RunAction::StartDownload;
    step.downloadFromNothing = fromNothing;
    return step;
}

void SetupRun::DownloadProgress(unsigned long long received, unsigned long long total) {
    if (phase_ == RunPhase::Downloading) TakeBytes(received, total);
}

RunStep SetupRun::DownloadEnded(DownloadOutcome outcome, bool resumed) {
    if (phase_ != RunPhase::Downloading) return {};
    switch (outcome) {
        case DownloadOutcome::Complete: {
            resumedDownload_ = resumed;
            phase_ = RunPhase::Unpacking;
            RunStep step;
            step.action = RunAction::StartUnpacking;
            return step;
        }
        case DownloadOutcome::DiskFull: return GiveUp(RunMessage::DiskFull);
        case DownloadOutcome::Incomplete:
        case DownloadOutcome::TooLarge: break;
    }
    return GiveUp(RunMessage::DownloadFailed);
}

void SetupRun::UnpackProgress(int done, int count) {
    if (phase_ != RunPhase::Unpacking) return;
    entriesDone_ = done;
    entryCount_ = count;
}

RunStep SetupRun::UnpackEnded(UnpackOutcome outcome) {
    if (phase_ != RunPhase::Unpacking) return {};
    switch (outcome) {
        case UnpackOutcome::Completed: {
            if (mode_ == RunMode::FreshInstall) {
                phase_ = RunPhase::AwaitingFinish;
                return {};
            }
            phase_ = RunPhase::Installing;
            RunStep step;
            step.action = RunAction::Install;
            return step;
        }
        case UnpackOutcome::NotVerified:
            // Bytes kept from an earlier attempt may belong to what a server sent then;
            // the whole package, fetched once more from nothing, decides.
            if (resumedDownload_ && !downloadedAgain_) {
                downloadedAgain_ = true;
                return DownloadWholePackage(true);
            }
            return GiveUp(RunMessage::NotVerified);
        case UnpackOutcome::DiskFull: return GiveUp(RunMessage::DiskFull);
        case UnpackOutcome::Failed:
        case UnpackOutcome::Stopped: break;
    }
    // An incomplete version folder is never recorded: one missing file may be the launcher.
    return GiveUp(RunMessage::UnpackFailed);
}

RunStep SetupRun::Finish() {
    // Before the last entry there is nothing to install: Finish does nothing.
    if (phase_ != RunPhase::AwaitingFinish) return {};
    phase_ = RunPhase::Installing;
    RunStep step;
    step.action = RunAction::Install;
    return step;
}

RunStep SetupRun::NotPlaced() {
    if (phase_ != RunPhase::Installing) return {};
    return GiveUp(RunMessage::UnpackFailed);
}

RunStep SetupRun::Installed(bool uninstallerWritten) {
    if (phase_ != RunPhase::Installing) return {};
    phase_ = RunPhase::Installed;
    RunStep step;
    // An update has nobody to tell; its old uninstaller keeps working.
    if (!uninstallerWritten && mode_ == RunMode::FreshInstall) step.message = RunMessage::UninstallerNotWritten;
    return step;
}

RunStep SetupRun::Tick(unsigned elapsedMilliseconds) {
    if (phase_ == RunPhase::Downloading || phase_ == RunPhase::FetchingChanges) {
        sinceLastBytes_ += elapsedMilliseconds;
        if (sinceLastBytes_ >= kStalledDownloadMilliseconds)
            return phase_ == RunPhase::FetchingChanges ? DownloadWholePackage(false)
                                                       : GiveUp(RunMessage::DownloadFailed);
    }
    if (mode_ == RunMode::Update && (phase_ == RunPhase::FetchingChanges || phase_ == RunPhase::Downloading ||
                                     phase_ == RunPhase::Unpacking)) {
        sinceBegin_ += elapsedMilliseconds;
        if (!suiteRunning_ && !suiteStarted_ && sinceBegin_ >= kSuiteWaitMilliseconds) {
            suiteStarted_ = true;
            RunStep step;
            step.startInstalledSuite = true;
            return step;
        }
    }
    return {};
}

RunStep SetupRun::GiveUp(RunMessage message) {
    phase_ = RunPhase::GaveUp;
    RunStep step;
    step.action = RunAction::GiveUp;
    if (mode_ == RunMode::FreshInstall) {
        step.message = message;
    } else if (!suiteStarted_) {
        suiteStarted_ = true;
        step.startInstalledSuite = true;
    }
    return step;
}

ProgressDisplay SetupRun::Display() const {
    switch (phase_) {
        case RunPhase::AwaitingTerms:
        case RunPhase::Declined:
            return kNothingShown;
        case RunPhase::FetchingChanges:
        case RunPhase::Downloading:
            return Further(DisplayForStep(1), downloaded_);
        case RunPhase::Unpacking:
            return DisplayForEntries(Further(DisplayForStep(1), downloaded_), entriesDone_, entryCount_);
        case RunPhase::AwaitingFinish:
        case RunPhase::Installing:
        case RunPhase::Installed:
        case RunPhase::GaveUp:
            break;
    }
    return DisplayForStep(kLastProgressStep);
}

}  // namespace install
