// The setup window's side of an install: it starts the download, unpacks the
// package and runs the install sequence, and shows what the user must know. The
// work itself is done by the download worker and the install code.
//
// An install is all or nothing: until the install sequence runs, nothing is
// recorded, so any failure before it leaves the installed suite as it was. An
// update then starts that suite again without a word (the user started the suite,
// not an installer, and the next start simply tries again); a fresh install says
// what went wrong. Either way the program ends.
#include "setup_ui/setup_dialog.h"

#include "app/install_paths.h"
#include "app/system_probes.h"
#include "install/unpack_package.h"
#include "release/release_signature.h"
#include "setup_ui/setup_layout.h"

using namespace setup_layout;

namespace {

// Unpacking waits this long before each entry, so that the slideshow has time to be seen.
const DWORD kEntryPauseMilliseconds = 100;
// Every thirtieth entry from the twentieth on moves the slideshow one step.
bool StepsTheSlideshow(int entry) { return entry % 30 == 20; }

// A download that delivers nothing for this long has failed, whatever the download
// service thinks: a server that stops sending may hold it for many minutes.
const DWORD kStalledDownloadMilliseconds = 60000;
const UINT kDownloadWatchMilliseconds = 1000;

const char* const kDownloadFailed =
    "Velmora 2.0 설치 파일을 내려받지 못했습니다.\n"
    "인터넷 연결을 확인한 후 설치를 다시 시작해 주십시오.";
const char* const kUnpackFailed =
    "Velmora 2.0 설치 파일의 압축을 풀 수 없습니다.\n"
    "설치 파일이 손상되었을 수 있습니다. 설치를 처음부터 다시 시작해 주십시오.";
const char* const kThreadFailed = "THREAD 를 생성할 수 없습니다.";
const char* const kNotVerified =
    "Velmora 2.0 설치 파일을 확인할 수 없습니다.\n"
    "내려받은 파일이 제작사가 배포한 파일과 다릅니다. 잠시 뒤에 설치를 다시 시작해 주십시오.";

}  // namespace

BOOL SetupDialog::StartDownload(const std::string& url) {
    Sleep(100);
    NextStep();
    packagePath.clear();
    if (download.IsRunning()) {
        cancelRequested = true;
        download.Cancel();
        Sleep(500);
        NextStep();
        return TRUE;
    }
    const std::string& programFiles = findings.programFilesPath;
    const std::string& version = findings.manifestVersion;
    downloadTarget = install_paths::PackagePath(programFiles, version);
    // The tree was made for the version's first four characters; a longer version
    // text downloads into a folder of its own, which has to exist first.
    std::string versionFolder = install_paths::VersionFolder(programFiles, version);
    CreateDirectoryA(versionFolder.c_str(), nullptr);
    CreateDirectoryA((versionFolder + "\\TEMP").c_str(), nullptr);
    DeleteFileA(downloadTarget.c_str());  // a left-over of an earlier attempt
    cancelRequested = false;
    if (!download.Start(hwnd_, url, downloadTarget)) {
        if (IsFreshInstall()) MessageBoxA(hwnd_, kThreadFailed, "Velmora 업데이트", MB_ICONERROR);
        AbandonInstall(nullptr);
        return FALSE;
    }
    lastDownloadBytes = 0;
    lastDownloadActivity = GetTickCount();
    SetTimer(hwnd_, kDownloadWatchTimer, kDownloadWatchMilliseconds, nullptr);
    return TRUE;
}

void SetupDialog::WatchDownload() {
    if (!download.IsRunning()) {
        KillTimer(hwnd_, kDownloadWatchTimer);
        return;
    }
    if (GetTickCount() - lastDownloadActivity < kStalledDownloadMilliseconds) return;
    download.Abandon();
    AbandonInstall(kDownloadFailed);
}

bool SetupDialog::OnDownloadDone(WPARAM, LPARAM, LRESULT& result) {
    result = 0;
    // The end of a transfer this window has given up on: it was dealt with then.
    if (!download.IsRunning()) return true;
    KillTimer(hwnd_, kDownloadWatchTimer);
    packagePath = download.Finish();
    if (!packagePath.empty()) {
        // The package must be the one the vendor signed, byte for byte, before a
        // single entry of it reaches the disk.
        if (release_signature::FileMatchesDigest(packagePath, findings.manifestSha256))
            UnpackPackage();
        else
            AbandonInstall(kNotVerified);
    } else if (!cancelRequested) {
        AbandonInstall(kDownloadFailed);
    }
    cancelRequested = false;
    return true;
}

void SetupDialog::UnpackPackage() {
    if (unpacking) return;
    ContinueStepsFromDownload();
    std::string target = install_paths::VersionFolder(findings.programFilesPath, findings.manifestVersion);
    // The pauses handle the window's messages: it repaints, answers the system and
    // may be dragged, while its commands wait for the end.
    unpacking = true;
    install::UnpackResult result = install::UnpackPackage(archive, packagePath, target, [this](int entry, int) {
        if (StepsTheSlideshow(entry)) {
            // Stops at the last progress step: the completion page, whose Finish
            // acts only on a whole version folder, waits for the last entry.
            if (stepCounter < kLastProgressStep) NextStep();
            SetZOrderMode(frame, hwnd_, 0);
            ShowWindow(hwnd_, SW_SHOW);
            UpdateWindow(hwnd_);
        }
        PauseHandlingMessages(kEntryPauseMilliseconds);
    });
    if (result == install::UnpackResult::Completed) PauseHandlingMessages(kEntryPauseMilliseconds);
    unpacking = false;
    if (result != install::UnpackResult::Completed) {
        // A damaged or hostile package, or an entry that could not be written: the
        // version folder is incomplete and is never recorded.
        AbandonInstall(kUnpackFailed);
        return;
    }
    unpackCompleted = true;
    if (IsFreshInstall())
        completionTimer = SetTimer(hwnd_, kCompletionTimer, 100, nullptr);
    else
        RunInstallSequence(install::InstallVariant::Update);
}

void SetupDialog::AbandonInstall(const char* message) {
    KillTimer(hwnd_, kDownloadWatchTimer);
    if (!downloadTarget.empty()) DeleteFileA(downloadTarget.c_str());
    if (findings.IsUpdate()) {
        LaunchSuite(findings.programFilesPath, findings.installedVersion);
        OnCancel();
        return;
    }
    if (message)
        Fail(message);
    else
        OnCancel();
}

void SetupDialog::RunInstallSequence(install::InstallVariant variant) {
    install::InstallRequest request;
    request.programFilesPath = findings.programFilesPath;
    request.version = findings.manifestVersion;
    request.variant = variant;
    install::InstallCallbacks callbacks;
    callbacks.shortcutFailed = [this](const install::ShortcutResult& failure) { ReportShortcutFailure(failure); };
    callbacks.uninstallerNotWritten = [this] {
        // An update has no window to show this in; its old uninstaller keeps working.
        if (IsFreshInstall())
            MessageBoxA(hwnd_,
                        "제거 프로그램(VL2Del.exe)을 만들 수 없습니다.\n"
                        "디스크 공간과 폴더 권한을 확인한 후 설치를 다시 시작해 주십시오.",
                        "Velmora 2.0 설치", MB_OK | MB_ICONERROR);
    };
    install::RunInstallSequence(request, callbacks);
    OnCancel();
}

void SetupDialog::ReportShortcutFailure(const install::ShortcutResult& failure) {
    if (failure.classNotRegistered) {
        MessageBoxA(hwnd_,
                    "A specified class is not registered in the registration database. Also can indicate that the "
                    "type of server you requested in the CLSCTX enumeration is not registered or the values for the "
                    "server types in the registry are corrupt.",
                    "BRISKNET 바로가기", MB_ICONHAND);
        return;
    }
    if (failure.pathNotSet) MessageBoxA(hwnd_, "파일 경로 설정 실패!", "아이콘 생성 에러", MB_ICONHAND);
    if (failure.descriptionNotSet) MessageBoxA(hwnd_, "아이콘 상세 정보 설정 실패!", "아이콘 생성 에러", MB_ICONHAND);
    if (failure.notSaved) MessageBoxA(hwnd_, "아이콘 저장 실패!", "아이콘 생성 에러", MB_ICONHAND);
}
