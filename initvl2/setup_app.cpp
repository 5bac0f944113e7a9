#include <winsock2.h>  // before windows.h

#include "initvl2/setup_app.h"

#include "app/install_paths.h"
#include "app/install_root.h"
#include "app/registry_store.h"
#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "app/version_text.h"
#include "build_settings.h"
#include "framework/common_controls.h"
#include "framework/file.h"
#include "framework/system_library.h"
#include "framework/worker.h"
#include "install/process_finder.h"
#include "install/install_sequence.h"
#include "install/running_copy.h"
#include "install/suite_start.h"
#include "install/version_pruning.h"
#include "framework/text.h"
#include "net/http_text_client.h"
#include "net/manifest_client.h"
#include "release/release_signature.h"
#include "initvl2/rollout.h"
#include "initvl2/rollout_id.h"
#include "setup_ui/setup_dialog.h"

namespace {

const char* const kCaption = "Velmora 2.0 설치";
const char* const kNoConnection = "인터넷에 연결되어 있지 않습니다. 연결을 확인한 후 다시 실행해 주십시오.";
const char* const kNoAnswer =
    "업데이트 서버에 연결할 수 없습니다. 인터넷 연결을 확인한 후 잠시 뒤에 다시 실행해 주십시오.";
const char* const kNoUsableFolder =
    "사용자 폴더의 경로에 이 프로그램이 쓸 수 없는 문자가 있어 설치할 수 없습니다. 관리자에게 문의해 주십시오.";
const char* const kNoWindow = "설치 창을 열 수 없습니다. 잠시 뒤에 다시 실행해 주십시오.";
const char* const kUnusableAnswer =
    "업데이트 서버의 응답을 사용할 수 없습니다. 잠시 뒤에 다시 실행해 주십시오.";

const char* WhyNotChecked(startup_decision::CheckFailure failure) {
    switch (failure) {
        case startup_decision::CheckFailure::NoConnection: return kNoConnection;
        case startup_decision::CheckFailure::NoAnswer: return kNoAnswer;
        case startup_decision::CheckFailure::None:
        case startup_decision::CheckFailure::UnusableAnswer: break;
    }
    return kUnusableAnswer;
}

// An update looks at its workers at least this often: the stall limit and the
// wait before starting the installed suite are counted in these ticks.
const DWORD kUpdateTickMilliseconds = 250;

}  // namespace

BOOL SetupApp::InitInstance() {
    osClass = GetOsClass();
    if (osClass == 0 || osClass == 1) {
        ShowMessageBox(nullptr, "윈도우 2000 이상에서만 설치 됩니다.", "설치 안내", MB_OK);
        return FALSE;
    }
    timing_.Mark("start-up probes");
    if (!InitSockets()) {
        ShowMessageBox(nullptr, "SOCKET을 생성할 수 없습니다.", "", MB_ICONERROR);
        return FALSE;
    }
    socketsStarted_ = true;
    timing_.Mark("sockets");

    {
        // A second start while a setup window is open brings that window back. A copy
        // that runs for another user has no window here and does not count.
        ProcessFinder finder;
        DWORD other = install::RunningCopyToHandOver(finder.FindProcessIds(suite::kLauncherName),
                                                     GetCurrentProcessId(), ThisSessionQuery());
        if (other != 0) {
            // Asked, not waited for: a setup window that is busy must not hold this
            // start, which ends at once either way.
            HWND window = FindWindowA(suite::kLauncherWindowClass, nullptr);
            if (window) ShowWindowAsync(window, SW_RESTORE);
            return FALSE;
        }
        finder.Clear();
    }
    timing_.Mark("single-instance check");

    // GDI+ and the layered-window functions are started only once the window is
    // going to run (RunSetupWindow): a start of the current suite never needs them.
    installedVersion = LoadInstallInfo();
    // Where the installed suite is: where INSTALLPATH says, or Program Files for an
    // install older than that record.
    installRoot = install_root::InstalledRoot(ReadSetting(SettingKind::InstallPath), ProgramFilesRoot());
    timing_.Mark("special folders");
    failedVersion_ = text::Trim(ReadSetting(SettingKind::FailedVersion));
    startup_decision::LocalChoice local = startup_decision::ChooseOnDisk(ReadOnDisk());
    startable_ = local.versions;
    timing_.Mark("registry");
    if (local.action == startup_decision::LocalAction::FinishSwitch) {
        FinishSwitch(local.versions.front());
        return FALSE;
    }

    UpdateManifest manifest;
    startup_decision::AnswerTiming timing = startup_decision::AnswerTiming::InTime;
    startup_decision::ManifestAnswer answer = AskForManifest(local, manifest, timing);
    startup_decision::Questions questions;
    questions.takesPartialRelease = [&manifest](int percentage) {
        return rollout::TakesRelease(rollout::MachineRolloutId(), manifest.version, percentage);
    };
    questions.isSigned = [](const OfferedRelease& release) {
        return release_signature::CheckRelease(release) == release_signature::ReleaseCheck::ok;
    };
    startup_decision::Installed installed(installedVersion);
    installed.whole = !local.repair;
    installed.failed = failedVersion_;
    startup_decision::Outcome outcome =
        startup_decision::Decide(installed, answer, manifest, VL2_FILE_SERVER, questions);
    startup_decision::StartPlan plan = startup_decision::PlanStart(local, timing, outcome.action);
    if (!plan.install) {
        if (plan.startNow) LaunchInstalledSuite();
        // A fresh install that could not check says why; with a suite there is nothing
        // to say, it runs.
        if (installedVersion.empty() && outcome.action == startup_decision::Action::CannotCheck)
            TellWhyNothingInstalls(WhyNotChecked(outcome.failure));
        return FALSE;
    }

    bool fresh = installedVersion.empty();
    // Only a run that installs asks where it may write: the per-user root, unless the
    // installed suite's own folder can be written (an administrator's install on XP).
    // A product folder that has gone is asked of the folder it would be made in.
    std::string product = install_paths::ProductFolder(installRoot);
    bool installedWritable = !fresh && CanWriteIn(file_system::IsFolder(product) ? product : installRoot);
    std::string runRoot = install_root::RootForRun(!fresh, installRoot, installedWritable, PerUserInstallRoot());
    if (runRoot.empty()) {
        // Nothing is written to a path the programs cannot name. A user who has the
        // suite gets it, unchanged; a fresh install says why it cannot go on.
        if (fresh)
            TellWhyNothingInstalls(kNoUsableFolder);
        else if (!plan.suiteStartedFirst)
            LaunchInstalledSuite();
        return FALSE;
    }
    install::RunRequest request;
    request.mode = fresh ? install::RunMode::FreshInstall : install::RunMode::Update;
    request.installRoot = runRoot;
    request.installedRoot = installRoot;
    request.installedVersion = installedVersion;
    request.release = outcome.release;
    request.fileListUrl = outcome.fileListUrl;
    request.startable = startable_;
    request.suiteStarted = plan.suiteStartedFirst;

    // The version's own folders are made in the run's staging and move with it; here
    // only the folders every version shares.
    CreateProductFolders(runRoot);
    if (fresh) WriteWidgetDefaults(runRoot, version_text::Prefix(request.release.version));
    install::SetupRunner runner(request);
    if (fresh)
        RunSetupWindow(runner);
    else
        RunUpdate(runner);
    return FALSE;
}

startup_decision::ManifestAnswer SetupApp::AskForManifest(const startup_decision::LocalChoice& local,
                                                           UpdateManifest& manifest,
                                                           startup_decision::AnswerTiming& timing) {
    bool connected = IsInternetConnected();
    timing_.Mark("connection test");
    if (!connected) return startup_decision::ManifestAnswer::NoConnection;
    // The request runs apart, so that a server that does not answer in time holds
    // nobody's start: the installed suite starts at the deadline and the answer is
    // still taken when it comes. It writes nothing but its own answer.
    struct Asked {
        UpdateManifest manifest;
        ManifestStatus status = ManifestStatus::NoAnswer;
    };
    auto asked = std::make_shared<Asked>();
    JobThread request;
    if (!request.Start([asked] { asked->status = FetchManifest(asked->manifest); }))
        return startup_decision::ManifestAnswer::NoAnswer;
    if (!request.WaitForEnd(startup_decision::kManifestDeadlineMilliseconds)) {
        timing = startup_decision::AnswerTiming::Late;
        if (startup_decision::PlanStart(local, timing, startup_decision::Action::CannotCheck).startAtDeadline)
            LaunchInstalledSuite();
        // The request ends by its own deadline; a little more is allowed for the thread.
        if (!request.WaitForEnd(HttpTextClient::kTextDeadlineMilliseconds + 1000)) {
            request.LetGo();
            timing = startup_decision::AnswerTiming::Never;
            return startup_decision::ManifestAnswer::NoAnswer;
        }
    }
    timing_.Mark("manifest fetch");
    switch (asked->status) {
        case ManifestStatus::Read:
            manifest = asked->manifest;
            return startup_decision::ManifestAnswer::Read;
        case ManifestStatus::NoAnswer: return startup_decision::ManifestAnswer::NoAnswer;
        case ManifestStatus::Unusable: break;
    }
    return startup_decision::ManifestAnswer::Unusable;
}

void SetupApp::RunUpdate(install::SetupRunner& runner) {
    // Nobody is asked anything and nothing is shown: the run moves on as its
    // workers report, and ends by itself.
    runner.Begin();
    while (!runner.HasEnded()) {
        runner.WaitForWork(kUpdateTickMilliseconds);
        runner.Poll();
    }
}

void SetupApp::RunSetupWindow(install::SetupRunner& runner) {
    gdiplusToken = StartGdiplus();
    if (!gdiplusToken) {
        ShowMessageBox(nullptr, "그래픽 라이브러리를 초기화할 수 없습니다.", "", MB_ICONERROR);
        return;
    }
    user32Module.Reset(LoadSystemLibrary("user32.dll"));
    // The setup window's template names the class "InitVL2": a copy of the standard
    // dialog class under that name, which a later start finds to hand over to.
    WNDCLASSA dialogClass = {};
    if (GetClassInfoA(instance, "#32770", &dialogClass)) {
        dialogClass.hInstance = instance;
        dialogClass.lpszClassName = suite::kLauncherWindowClass;
        RegisterClassA(&dialogClass);
    }
    timing_.Mark("graphics and window class");
    SetupDialog dialog(runner, user32Module.Get());
    // A window that could not be made (no desktop to make it on, no resources left)
    // would leave the user who started setup looking at nothing: say so instead.
    if (dialog.DoModal() == -1) TellWhyNothingInstalls(kNoWindow);
    timing_.Mark("setup window");
}

int SetupApp::ExitInstance() {
    // The window and its pictures are gone; what is left is released in reverse
    // order of acquisition.
    user32Module.Reset();
    gdiplusToken.Reset();
    if (socketsStarted_) WSACleanup();
    return Application::ExitInstance();
}

void SetupApp::TellWhyNothingInstalls(const char* reason) {
    // With nothing installed the user started this program to install, and is told
    // why nothing happens; with a suite, it simply runs and the next start asks again.
    std::string message = std::string("Velmora 2.0 설치를 시작할 수 없습니다.\n") + reason;
    ShowMessageBox(nullptr, message.c_str(), kCaption, MB_OK | MB_ICONERROR);
}

void SetupApp::LaunchInstalledSuite() {
    install::StartInstalledSuite(installRoot, startable_, install::WhenRunning::StartAnother);
    timing_.Mark("launch");
}

void SetupApp::Rescue() {
    // Whatever went wrong, a user who has the suite gets it.
    if (!installedVersion.empty())
        install::StartInstalledSuite(installRoot, startable_, install::WhenRunning::LeaveIt);
}

startup_decision::OnDisk SetupApp::ReadOnDisk() const {
    startup_decision::OnDisk disk;
    disk.recorded = installedVersion;
    disk.recordedWhole = install::IsWholeVersion(installRoot, installedVersion);
    disk.switching = text::Trim(ReadSetting(SettingKind::SwitchVersion));
    disk.failed = failedVersion_;
    if (!disk.switching.empty())
        disk.switchingWhole = version_text::IsPlainFileName(disk.switching) &&
                              install::IsWholeVersion(installRoot, disk.switching);
    // Only a start whose recorded suite is gone pays for looking at the other folders.
    if (!disk.recordedWhole)
        disk.otherWhole = install::WholeVersionsNewestFirst(
            install::ProductFolderNames(installRoot),
            [this](const std::string& version) { return install::IsWholeVersion(installRoot, version); });
    return disk;
}

void SetupApp::FinishSwitch(const std::string& version) {
    // A switch cut off once its version's folder was whole and named: finished as it
    // would have gone on, with no server needed.
    install::InstallRequest install;
    install.installRoot = installRoot;
    install.version = version;
    install.variant = installedVersion.empty() ? install::InstallVariant::Fresh : install::InstallVariant::Update;
    if (installedVersion != version) install.previousVersion = installedVersion;
    install::RunInstallSequence(install, install::InstallCallbacks());
}
