// The setup window's side of an install: it starts the download, unpacks the
// package and runs the install sequence, and shows what the user must know. The
// work itself is done by the download worker and the install code.
#include "setup_ui/setup_dialog.h"

#include "app/install_paths.h"
#include "install/unpack_package.h"
#include "setup_ui/setup_layout.h"

using namespace setup_layout;

namespace {
// Unpacking waits this long before each entry, so that the slideshow has time to be seen.
const DWORD kEntryPauseMilliseconds = 100;
// Every thirtieth entry from the twentieth on moves the slideshow one step.
bool StepsTheSlideshow(int entry) { return entry % 30 == 20; }
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
    std::string target = install_paths::PackagePath(programFiles, version);
    // The tree was made for the version's first four characters; a longer version
    // text downloads into a folder of its own, which has to exist first.
    std::string versionFolder = install_paths::VersionFolder(programFiles, version);
    CreateDirectoryA(versionFolder.c_str(), nullptr);
    CreateDirectoryA((versionFolder + "\\TEMP").c_str(), nullptr);
    DeleteFileA(target.c_str());  // a left-over of an earlier attempt
    cancelRequested = false;
    if (!download.Start(hwnd_, url, target)) {
        MessageBoxA(hwnd_, "THREAD 를 생성할 수 없습니다.", "Velmora 업데이트", MB_ICONERROR);
        return FALSE;
    }
    return TRUE;
}

bool SetupDialog::OnDownloadDone(WPARAM, LPARAM, LRESULT& result) {
    result = 0;
    packagePath = download.Finish();
    if (!packagePath.empty()) {
        UnpackPackage();
    } else if (!cancelRequested) {
        Fail("Velmora 2.0 설치 파일을 내려받지 못했습니다.\n"
             "인터넷 연결을 확인한 후 설치를 다시 시작해 주십시오.");
    }
    cancelRequested = false;
    return true;
}

void SetupDialog::UnpackPackage() {
    std::string target = install_paths::VersionFolder(findings.programFilesPath, findings.manifestVersion);
    install::UnpackResult result = install::UnpackPackage(archive, packagePath, target, [this](int entry, int) {
        if (StepsTheSlideshow(entry)) {
            NextStep();
            SetZOrderMode(frame, hwnd_, 0);
            ShowWindow(hwnd_, SW_SHOW);
        }
        Sleep(kEntryPauseMilliseconds);
    });
    if (result == install::UnpackResult::ArchiveError) {
        // A damaged or hostile package: the download is gone, so a new start fetches
        // it afresh, and what is installed stays as it is.
        Fail("Velmora 2.0 설치 파일의 압축을 풀 수 없습니다.\n"
             "설치 파일이 손상되었을 수 있습니다. 설치를 처음부터 다시 시작해 주십시오.");
        return;
    }
    Sleep(kEntryPauseMilliseconds);
    unpackCompleted = true;
    if (IsFreshInstall())
        completionTimer = SetTimer(hwnd_, kCompletionTimer, 100, nullptr);
    else
        RunInstallSequence(install::InstallVariant::Update);
}

void SetupDialog::RunInstallSequence(install::InstallVariant variant) {
    install::InstallRequest request;
    request.programFilesPath = findings.programFilesPath;
    request.version = findings.manifestVersion;
    request.variant = variant;
    install::InstallOutcome outcome = install::RunInstallSequence(
        request, [this](const install::ShortcutResult& failure) { ReportShortcutFailure(failure); });
    if (outcome == install::InstallOutcome::UninstallerNotWritten) {
        MessageBoxA(hwnd_,
                    "제거 프로그램(VL2Del.exe)을 만들 수 없습니다.\n"
                    "디스크 공간과 폴더 권한을 확인한 후 설치를 다시 시작해 주십시오.",
                    "Velmora 2.0 설치", MB_OK | MB_ICONERROR);
        return;
    }
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
