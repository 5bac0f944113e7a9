#include "install/setup_runner.h"

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "framework/file.h"
#include "framework/text.h"
#include "install/folder_removal.h"
#include "install/install_sequence.h"
#include "install/staging.h"
#include "install/suite_start.h"
#include "net/http_text_client.h"
#include "release/package_limits.h"

namespace install {

namespace {

// Start-up gives a file list only to an update that may build from it.
bool ChangesOffered(const RunRequest& request) {
    return request.mode == RunMode::Update && !request.fileListUrl.empty();
}

std::string NameIn(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

}  // namespace

SetupRunner::SetupRunner(const RunRequest& request)
    : request_(request),
      staging_(install_paths::StagingFolder(request.installRoot)),
      stagedPackage_(install_paths::StagedPackagePath(request.installRoot, request.release.sha256)),
      run_(request.mode, request.suiteStarted || install::SuiteRuns(), ChangesOffered(request)),
      changes_(ChangesResult()),
      download_(DownloadResult()),
      unpack_(UnpackOutcome::Failed),
      lastPoll_(GetTickCount()) {}

void SetupRunner::Begin() { Carry(run_.Begin()); }
void SetupRunner::AcceptTerms() { Carry(run_.AcceptTerms()); }
void SetupRunner::DeclineTerms() { Carry(run_.DeclineTerms()); }
void SetupRunner::Finish() { Carry(run_.Finish()); }

void SetupRunner::Poll() {
    DWORD now = GetTickCount();
    unsigned elapsed = now - lastPoll_;
    lastPoll_ = now;
    if (run_.Phase() == RunPhase::FetchingChanges && changes_.IsRunning()) {
        run_.ChangesProgress(changes_.Done(), changes_.Total());
        if (changes_.HasEnded()) {
            ChangesResult result = changes_.Finish();
            listedPackageSize_ = result.packageSize;
            Carry(run_.ChangesEnded(result.outcome));
        }
    } else if (run_.Phase() == RunPhase::Downloading && download_.IsRunning()) {
        run_.DownloadProgress(download_.Done(), download_.Total());
        if (download_.HasEnded()) {
            DownloadResult result = download_.Finish();
            Carry(run_.DownloadEnded(result.outcome, result.resumed));
        }
    } else if (run_.Phase() == RunPhase::Unpacking && unpack_.IsRunning()) {
        run_.UnpackProgress(static_cast<int>(unpack_.Done()), unpack_.Total() ? static_cast<int>(unpack_.Total()) : -1);
        if (unpack_.HasEnded()) Carry(run_.UnpackEnded(unpack_.Finish()));
    }
    Carry(run_.Tick(elapsed));
}

void SetupRunner::WaitForWork(DWORD milliseconds) const {
    HANDLE events[3];
    DWORD count = 0;
    if (changes_.IsRunning()) events[count++] = changes_.EndEvent();
    if (download_.IsRunning()) events[count++] = download_.EndEvent();
    if (unpack_.IsRunning()) events[count++] = unpack_.EndEvent();
    if (count == 0)
        Sleep(milliseconds);
    else
        WaitForMultipleObjects(count, events, FALSE, milliseconds);
}

void SetupRunner::Carry(const RunStep& step) {
    if (step.message != RunMessage::None) message_ = step.message;
    switch (step.action) {
        case RunAction::None:
            break;
        case RunAction::StartChanges:
            StartChanges();
            break;
        case RunAction::StartDownload:
            StartDownload(step.downloadFromNothing);
            break;
        case RunAction::StartUnpacking:
            StartUnpacking();
            break;
        case RunAction::Install:
            Install();
            break;
        case RunAction::GiveUp:
            GiveUp();
            break;
        case RunAction::RecordDecline:
            WriteSetting(SettingKind::AxCancel, "", text::Trim(TodayAsDigits()));
            break;
    }
    if (step.startInstalledSuite) StartInstalledSuite();
}

void SetupRunner::EmptyStaging() const {
    // An earlier run's leftovers (a half-built version, a package that was checked,
    // a folder that was replaced) go before anything is built; only a download this
    // run may finish stays. What cannot be removed now is passed by and tried again
    // by the next run.
    std::string keep = NameIn(stagedPackage_);
    for (const file_system::FolderEntry& entry : file_system::EntriesIn(staging_)) {
        if (entry.name == keep) continue;
        std::string path = staging_ + "\\" + entry.name;
        if (entry.isFolder)
            RemoveFolderTree(path);
        else
            file_system::RemoveFile(path);
    }
}

bool SetupRunner::NewTree() {
    if (!stagingEmptied_) {
        file_system::CreateFolder(staging_);
        EmptyStaging();
        stagingEmptied_ = true;
    }
    // What an abandoned attempt of this run built stays where it is, out of the way.
    tree_ = UnusedPath(staging_, "new");
    return MakeVersionTree(tree_);
}

void SetupRunner::StartChanges() {
    if (!NewTree()) {
        Carry(run_.WorkerNotStarted());
        return;
    }
    ChangesRequest changes;
    changes.fileListUrl = request_.fileListUrl;
    changes.packageUrl = request_.release.downloadUrl;
    changes.version = request_.release.version;
    changes.sha256 = request_.release.sha256;
    changes.installedFolder = install_paths::VersionFolder(request_.installedRoot, request_.installedVersion);
    changes.newFolder = tree_;
    changes.scratchPackage = UnusedPath(staging_, "ranges.cvz");
    if (!changes_.Start([changes](const StopRequest& stop, WorkProgress& progress) {
            return FetchChanges(changes, stop, progress);
        }))
        Carry(run_.WorkerNotStarted());
}

bool SetupRunner::StopChanges() {
    if (!changes_.IsRunning()) return true;
    if (!changes_.Stop()) return false;
    listedPackageSize_ = changes_.Finish().packageSize;
    return true;
}

void SetupRunner::StartDownload(bool fromNothing) {
    // Any doubt about the changes ends them, and nothing else writes until they have
    // ended: the whole package is then built in a folder of its own.
    if (!StopChanges()) {
        Carry(run_.WorkerDidNotStop());
        return;
    }
    if (!NewTree()) {
        Carry(run_.WorkerNotStarted());
        return;
    }
    DownloadRequest download;
    download.url = request_.release.downloadUrl;
    download.targetPath = stagedPackage_;
    download.expectedSize = listedPackageSize_;
    download.largestSize = package_limits::kLargestPackageBytes;
    download.resume = !fromNothing;
    if (!download_.Start([download](const StopRequest& stop, WorkProgress& progress) {
            HttpTextClient server;
            return DownloadPackage(server, download, stop, progress);
        }))
        Carry(run_.WorkerNotStarted());
}

void SetupRunner::StartUnpacking() {
    UnpackJob job;
    job.packagePath = stagedPackage_;
    job.sha256Text = request_.release.sha256;
    job.targetFolder = tree_;
    if (!unpack_.Start(
            [job](const StopRequest& stop, WorkProgress& progress) { return UnpackSignedPackage(job, stop, progress); }))
        Carry(run_.WorkerNotStarted());
}

void SetupRunner::Install() {
    // The new version is whole and verified in the staging: only now does it get its
    // version folder's name, and only then is the running suite asked to quit, for
    // the switch alone.
    std::string versionFolder = install_paths::VersionFolder(request_.installRoot, request_.release.version);
    if (!PlaceVersionFolder(tree_, versionFolder, staging_)) {
        Carry(run_.NotPlaced());
        return;
    }
    BeginSwitch(request_.installRoot, request_.release.version);
    InstallRequest install;
    install.installRoot = request_.installRoot;
    install.version = request_.release.version;
    install.variant = request_.mode == RunMode::Update ? InstallVariant::Update : InstallVariant::Fresh;
    install.previousVersion = request_.installedVersion;
    install.previousRoot = request_.installedRoot;
    InstallCallbacks callbacks;
    callbacks.shortcutFailed = [this](const ShortcutResult& failure) { shortcutFailures_.push_back(failure); };
    InstallOutcome outcome = RunInstallSequence(install, callbacks);
    Carry(outcome == InstallOutcome::WentBack ? run_.WentBack() : run_.Installed(outcome == InstallOutcome::Completed));
    // What the switch moved aside, the package it no longer needs: the staging has
    // served.
    RemoveFolderTree(staging_);
}

void SetupRunner::GiveUp() {
    // Every writer ends before the staging is emptied; one that will not end is left
    // to the end of the program, which follows at once.
    bool stopped = changes_.Stop() & download_.Stop() & unpack_.Stop();
    if (stopped) EmptyStaging();
}

void SetupRunner::StartInstalledSuite() const {
    // The run only makes sure the user has a suite: one that runs is left as it is.
    install::StartInstalledSuite(request_.installedRoot, request_.startable, WhenRunning::LeaveIt);
}

}  // namespace install
