#include "install/setup_run.h"

namespace install {

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
    return {changesOffered_ ? RunAction::StartChanges : RunAction::StartDownload};
}

RunStep SetupRun::AcceptTerms() {
    // A second click, or one that reaches a hidden button later, starts nothing more.
    if (phase_ != RunPhase::AwaitingTerms) return {};
    phase_ = RunPhase::Downloading;
    return {RunAction::StartDownload};
}

RunStep SetupRun::DeclineTerms() {
    if (phase_ != RunPhase::AwaitingTerms) return {};
    phase_ = RunPhase::Ended;
    return {RunAction::RecordDecline};
}

RunStep SetupRun::WorkerNotStarted() {
    if (phase_ == RunPhase::FetchingChanges) return DownloadWholePackage();
    if (phase_ != RunPhase::Downloading && phase_ != RunPhase::Unpacking) return {};
    return GiveUp(RunMessage::WorkerNotStarted);
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

RunStep SetupRun::ChangesEnded(bool whole) {
    if (phase_ != RunPhase::FetchingChanges) return {};
    if (!whole) return DownloadWholePackage();
    phase_ = RunPhase::Installing;
    return {RunAction::Install};
}

RunStep SetupRun::DownloadWholePackage() {
    phase_ = RunPhase::Downloading;
    received_ = 0;
    sinceLastBytes_ = 0;
    return {RunAction::StartDownload};
}

void SetupRun::DownloadProgress(unsigned long long received, unsigned long long total) {
    if (phase_ == RunPhase::Downloading) TakeBytes(received, total);
}

RunStep SetupRun::DownloadEnded(bool whole) {
    if (phase_ != RunPhase::Downloading) return {};
    if (!whole) return GiveUp(RunMessage::DownloadFailed);
    phase_ = RunPhase::Unpacking;
    return {RunAction::StartUnpacking};
}

void SetupRun::UnpackProgress(int done, int count) {
    if (phase_ != RunPhase::Unpacking) return;
    entriesDone_ = done;
    entryCount_ = count;
}

RunStep SetupRun::UnpackEnded(UnpackOutcome outcome) {
    if (phase_ != RunPhase::Unpacking) return {};
    if (outcome == UnpackOutcome::NotVerified) return GiveUp(RunMessage::NotVerified);
    // An incomplete version folder is never recorded: one missing file may be the launcher.
    if (outcome != UnpackOutcome::Completed) return GiveUp(RunMessage::UnpackFailed);
    if (mode_ == RunMode::FreshInstall) {
        phase_ = RunPhase::AwaitingFinish;
        return {};
    }
    phase_ = RunPhase::Installing;
    return {RunAction::Install};
}

RunStep SetupRun::Finish() {
    // Before the last entry there is nothing to install: Finish does nothing.
    if (phase_ != RunPhase::AwaitingFinish) return {};
    phase_ = RunPhase::Installing;
    return {RunAction::Install};
}

RunStep SetupRun::Installed(bool uninstallerWritten) {
    if (phase_ != RunPhase::Installing) return {};
    phase_ = RunPhase::Ended;
    RunStep step;
    // An update has nobody to tell; its old uninstaller keeps working.
    if (!uninstallerWritten && mode_ == RunMode::FreshInstall) step.message = RunMessage::UninstallerNotWritten;
    return step;
}

RunStep SetupRun::Tick(unsigned elapsedMilliseconds) {
    if (phase_ == RunPhase::Downloading || phase_ == RunPhase::FetchingChanges) {
        sinceLastBytes_ += elapsedMilliseconds;
        if (sinceLastBytes_ >= kStalledDownloadMilliseconds)
            return phase_ == RunPhase::FetchingChanges ? DownloadWholePackage() : GiveUp(RunMessage::DownloadFailed);
    }
    if (mode_ == RunMode::Update && (phase_ == RunPhase::FetchingChanges || phase_ == RunPhase::Downloading ||
                                     phase_ == RunPhase::Unpacking)) {
        sinceBegin_ += elapsedMilliseconds;
        if (!suiteRunning_ && !suiteStarted_ && sinceBegin_ >= kSuiteWaitMilliseconds) {
            suiteStarted_ = true;
            return {RunAction::StartInstalledSuite};
        }
    }
    return {};
}

RunStep SetupRun::GiveUp(RunMessage message) {
    phase_ = RunPhase::Ended;
    RunStep step{RunAction::GiveUp};
    if (mode_ == RunMode::FreshInstall)
        step.message = message;
    else
        step.startInstalledSuite = !suiteStarted_;
    return step;
}

ProgressDisplay SetupRun::Display() const {
    switch (phase_) {
        case RunPhase::AwaitingTerms:
            return kNothingShown;
        case RunPhase::FetchingChanges:
        case RunPhase::Downloading:
            return Further(DisplayForStep(1), downloaded_);
        case RunPhase::Unpacking:
            return DisplayForEntries(Further(DisplayForStep(1), downloaded_), entriesDone_, entryCount_);
        default:
            return DisplayForStep(kLastProgressStep);
    }
}

}  // namespace install
