#include <winsock2.h>  // before windows.h

#include "initvl2/setup_app.h"

#include "app/registry_store.h"
#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "app/version_text.h"
#include "build_settings.h"
#include "framework/system_library.h"
#include "install/process_finder.h"
#include "install/running_copy.h"
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
        MessageBoxA(nullptr, "윈도우 2000 이상에서만 설치 됩니다.", "설치 안내", MB_OK);
        return FALSE;
    }
    timing_.Mark("start-up probes");
    installRoot = ResolveSpecialFolders();
    timing_.Mark("special folders");
    if (!InitSockets()) {
        MessageBoxA(nullptr, "SOCKET을 생성할 수 없습니다.", "", MB_ICONERROR);
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
            HWND window = FindWindowA(suite::kLauncherWindowClass, nullptr);
            if (window) ShowWindow(window, SW_RESTORE);
            return FALSE;
        }
        finder.Clear();
    }
    timing_.Mark("single-instance check");

    // GDI+ and the layered-window functions are started only once the window is
    // going to run (RunSetupWindow): a start of the current suite never needs them.
    installedVersion = LoadInstallInfo();
    timing_.Mark("registry");

    UpdateManifest manifest;
    startup_decision::ManifestAnswer answer = AskForManifest(manifest);
    startup_decision::Questions questions;
    questions.takesPartialRelease = [&manifest](int percentage) {
        return rollout::TakesRelease(rollout::MachineRolloutId(), manifest.version, percentage);
    };
    questions.isSigned = [](const OfferedRelease& release) {
        return release_signature::CheckRelease(release) == release_signature::ReleaseCheck::ok;
    };
    startup_decision::Outcome outcome =
        startup_decision::Decide(installedVersion, answer, manifest, VL2_FILE_SERVER, questions);
    switch (outcome.action) {
        case startup_decision::Action::StartInstalledSuite:
            LaunchInstalledSuite();
            return FALSE;
        case startup_decision::Action::CannotCheck:
            CannotCheckForUpdate(WhyNotChecked(outcome.failure));
            return FALSE;
        case startup_decision::Action::InstallRelease:
        case startup_decision::Action::InstallFallback:
            break;
    }

    bool fresh = installedVersion.empty();
    install::RunRequest request;
    request.mode = fresh ? install::RunMode::FreshInstall : install::RunMode::Update;
    request.installRoot = installRoot;
    request.installedVersion = installedVersion;
    request.release = outcome.release;
    request.fileListUrl = outcome.fileListUrl;

    // The version's own folders are made in the run's staging and move with it; here
    // only the folders every version shares.
    CreateProductFolders(installRoot);
    if (fresh) WriteWidgetDefaults(installRoot, version_text::Prefix(request.release.version));
    install::SetupRunner runner(request);
    if (fresh)
        RunSetupWindow(runner);
    else
        RunUpdate(runner);
    return FALSE;
}

startup_decision::ManifestAnswer SetupApp::AskForManifest(UpdateManifest& manifest) {
    bool connected = IsInternetConnected();
    timing_.Mark("connection test");
    if (!connected) return startup_decision::ManifestAnswer::NoConnection;
    ManifestStatus status = FetchManifest(manifest);
    timing_.Mark("manifest fetch");
    switch (status) {
        case ManifestStatus::Read: return startup_decision::ManifestAnswer::Read;
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
        MessageBoxA(nullptr, "그래픽 라이브러리를 초기화할 수 없습니다.", "", MB_ICONERROR);
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
    SetupDialog dialog(runner, user32Module.Get());
    dialog.DoModal();
}

int SetupApp::ExitInstance() {
    // The window and its pictures are gone; what is left is released in reverse
    // order of acquisition.
    user32Module.Reset();
    gdiplusToken.Reset();
    if (socketsStarted_) WSACleanup();
    return Application::ExitInstance();
}

void SetupApp::CannotCheckForUpdate(const char* reason) {
    // With a version installed the suite starts as if nothing had happened: the
    // next start asks again. With nothing installed the user started this program
    // to install, and is told why nothing happens.
    if (!installedVersion.empty()) {
        LaunchInstalledSuite();
        return;
    }
    std::string message = std::string("Velmora 2.0 설치를 시작할 수 없습니다.\n") + reason;
    MessageBoxA(nullptr, message.c_str(), kCaption, MB_OK | MB_ICONERROR);
}

void SetupApp::LaunchInstalledSuite() {
    LaunchSuite(installRoot, installedVersion);
    timing_.Mark("launch");
}
