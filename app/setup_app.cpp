#include <winsock2.h>  // before windows.h

#include "app/setup_app.h"

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/special_folders.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "app/version_text.h"
#include "framework/text.h"
#include "install/process_finder.h"
#include "net/manifest_client.h"
#include "setup_ui/setup_dialog.h"

BOOL SetupApp::InitInstance() {
    osClass = GetOsClass();
    if (osClass == 0 || osClass == 1) {
        MessageBoxA(nullptr, "윈도우 2000 이상에서만 설치 됩니다.", "설치 안내", MB_OK);
        return FALSE;
    }
    findings.programFilesPath = ResolveSpecialFolders();
    if (!InitSockets()) {
        MessageBoxA(nullptr, "SOCKET을 생성할 수 없습니다.", "", MB_ICONERROR);
        return FALSE;
    }
    socketsStarted_ = true;

    {
        // A second start while a setup window is open brings that window back.
        ProcessFinder finder;
        DWORD other = finder.FindProcessId(suite::kLauncherName);
        if (other != 0 && other != GetCurrentProcessId()) {
            HWND window = FindWindowA(suite::kLauncherWindowClass, nullptr);
            if (window) ShowWindow(window, SW_RESTORE);
            return FALSE;
        }
        finder.Clear();
    }

    gdiplusToken = StartGdiplus();
    if (!gdiplusToken) {
        MessageBoxA(nullptr, "그래픽 라이브러리를 초기화할 수 없습니다.", "", MB_ICONERROR);
        return FALSE;
    }
    user32Module.Reset(LoadLibraryA("user32.dll"));
    findings.installedVersion = LoadInstallInfo();

    if (!IsInternetConnected()) {
        LaunchInstalledSuite(findings.installedVersion);
        return FALSE;
    }
    UpdateManifest manifest;
    if (!FetchManifest(manifest) || text::Left(manifest.downloadUrl, 4) != "http") {
        LaunchInstalledSuite(findings.installedVersion);
        return FALSE;
    }
    findings.manifestVersion = manifest.version;
    findings.downloadUrl = manifest.downloadUrl;
    findings.manifestDate = manifest.date;
    findings.manifestComment = manifest.comment;

    std::string prefix = version_text::Prefix(findings.manifestVersion);
    if (findings.installedVersion.empty()) {
        CreateFolderTree(findings.programFilesPath, prefix);
        WriteWidgetDefaults(findings.programFilesPath, prefix);
        findings.setupMode = SetupMode::FreshInstall;
    } else if (version_text::IsOlder(findings.installedVersion, findings.manifestVersion)) {
        CreateFolderTree(findings.programFilesPath, prefix);
        findings.setupMode = SetupMode::Update;
    } else {
        // Current or newer: the manifest's version names the folder to start from.
        LaunchInstalledSuite(findings.manifestVersion);
        return FALSE;
    }

    RunSetupWindow();
    return FALSE;
}

void SetupApp::RunSetupWindow() {
    // The setup window's template names the class "InitVL2": a copy of the standard
    // dialog class under that name, which a later start finds to hand over to.
    WNDCLASSA dialogClass = {};
    if (GetClassInfoA(instance, "#32770", &dialogClass)) {
        dialogClass.hInstance = instance;
        dialogClass.lpszClassName = suite::kLauncherWindowClass;
        RegisterClassA(&dialogClass);
    }
    SetupDialog dialog(nullptr, findings, user32Module.Get());
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

void SetupApp::LaunchInstalledSuite(const std::string& version) {
    LaunchProgram(CREATE_NEW_CONSOLE, install_paths::SuiteCommand(findings.programFilesPath, version));
}
