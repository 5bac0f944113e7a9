#include "install/setup_runner.h"

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "framework/file.h"
#include "framework/text.h"
#include "install/install_sequence.h"
#include "install/suite_quit.h"

namespace install {

namespace {

// Only what changed can be fetched when the release lists its files and the
// installed version's folder is there to copy the rest from.
bool ChangesOffered(const RunRequest& request) {
    return request.mode == RunMode::Update && !request.fileListUrl.empty() && !request.installedVersion.empty() &&
           file_system::IsFolder(install_paths::VersionFolder(request.installRoot, request.installedVersion));
}

}  // namespace

SetupRunner::SetupRunner(const RunRequest& request)
    : request_(request), run_(request.mode, SuiteRuns(), ChangesOffered(request)), lastPoll_(GetTickCount()) {}

bool SetupRunner::SuiteRuns() const { return FindWindowA(suite::kWindowClass, nullptr) != nullptr; }

void SetupRunner::Begin() { Carry(run_.Begin()); }
void SetupRunner::AcceptTerms() { Carry(run_.AcceptTerms()); }
void SetupRunner::DeclineTerms() { Carry(run_.DeclineTerms()); }
void SetupRunner::Finish() { Carry(run_.Finish()); }

void SetupRunner::Poll() {
    DWORD now = GetTickCount();
    unsigned elapsed = now - lastPoll_;
    lastPoll_ = now;
    if (run_.Phase() == RunPhase::FetchingChanges && changes_.IsRunning()) {
        uint64_t fetched = 0, toFetch = 0;
        changes_.Progress(fetched, toFetch);
        run_.ChangesProgress(fetched, toFetch);
        if (changes_.HasEnded()) Carry(run_.ChangesEnded(changes_.Finish()));
    } else if (run_.Phase() == RunPhase::Downloading && download_.IsRunning()) {
        DownloadProgress progress = download_.Progress();
        run_.DownloadProgress(progress.received, progress.total);
        if (download_.HasEnded()) Carry(run_.DownloadEnded(!download_.Finish().empty()));
    } else if (run_.Phase() == RunPhase::Unpacking && unpack_.IsRunning()) {
        int done = 0, count = -1;
        unpack_.Progress(done, count);
        run_.UnpackProgress(done, count);
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
            StartDownload();
            break;
        case RunAction::StartUnpacking:
            StartUnpacking();
            break;
        case RunAction::StartInstalledSuite:
            LaunchSuite(request_.installRoot, request_.installedVersion);
            break;
        case RunAction::Install:
            Install();
            break;
        case RunAction::GiveUp:
            GiveUp(step);
            break;
        case RunAction::RecordDecline:
            WriteSetting(SettingKind::AxCancel, "", text::Trim(TodayAsDigits()));
            break;
    }
}

void SetupRunner::StartChanges() {
    const std::string& installRoot = request_.installRoot;
    ChangesRequest changes;
    changes.fileListUrl = request_.fileListUrl;
    changes.packageUrl = request_.downloadUrl;
    changes.version = request_.version;
    changes.sha256 = request_.sha256;
    changes.installedFolder = install_paths::VersionFolder(installRoot, request_.installedVersion);
    changes.newFolder = install_paths::VersionFolder(installRoot, request_.version);
    // Not the package's own name: a whole download may follow while a stalled job
    // still holds its file.
    changes.scratchPackage = install_paths::PackagePath(installRoot, request_.version) + ".ranges";
    CreateDirectoryA((changes.newFolder + "\\TEMP").c_str(), nullptr);
    if (!changes_.Start(changes)) Carry(run_.WorkerNotStarted());
}

void SetupRunner::StartDownload() {
    // Any doubt about the changes ends them: the whole package is fetched instead.
    if (changes_.IsRunning()) changes_.Abandon();
    const std::string& installRoot = request_.installRoot;
    // The tree was made for the version's first four characters; a longer version
    // text downloads into a folder of its own, which has to exist first.
    std::string versionFolder = install_paths::VersionFolder(installRoot, request_.version);
    CreateDirectoryA(versionFolder.c_str(), nullptr);
    CreateDirectoryA((versionFolder + "\\TEMP").c_str(), nullptr);
    std::string target = install_paths::PackagePath(installRoot, request_.version);
    DeleteFileA(target.c_str());  // a left-over of an earlier attempt
    if (!download_.Start(request_.downloadUrl, target)) Carry(run_.WorkerNotStarted());
}

void SetupRunner::StartUnpacking() {
    std::string package = install_paths::PackagePath(request_.installRoot, request_.version);
    std::string folder = install_paths::VersionFolder(request_.installRoot, request_.version);
    if (!unpack_.Start(package, request_.sha256, folder)) Carry(run_.WorkerNotStarted());
}

void SetupRunner::Install() {
    // The new version folder is whole and verified: only now is the running suite
    // asked to quit, for the switch alone.
    // A suite that allows one instance must not see its predecessor.
    AskSuiteToQuit();
    InstallRequest install;
    install.installRoot = request_.installRoot;
    install.version = request_.version;
    install.variant = request_.mode == RunMode::Update ? InstallVariant::Update : InstallVariant::Fresh;
    InstallCallbacks callbacks;
    callbacks.shortcutFailed = [this](const ShortcutResult& failure) { shortcutFailures_.push_back(failure); };
    InstallOutcome outcome = RunInstallSequence(install, callbacks);
    Carry(run_.Installed(outcome == InstallOutcome::Completed));
}

void SetupRunner::GiveUp(const RunStep& step) {
    if (changes_.IsRunning()) changes_.Abandon();
    if (download_.IsRunning()) download_.Abandon();
    file_system::RemoveFile(install_paths::PackagePath(request_.installRoot, request_.version));
    if (step.startInstalledSuite && !SuiteRuns()) LaunchSuite(request_.installRoot, request_.installedVersion);
}

}  // namespace install
