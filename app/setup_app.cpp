#include <winsock2.h>  // before windows.h

#include "app/setup_app.h"

#include <shlobj.h>
#include <gdiplus.h>

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/system_probes.h"
#include "app/version_text.h"
#include "build_settings.h"
#include "framework/text.h"
#include "install/process_finder.h"
#include "net/http_text_client.h"
#include "net/manifest.h"
#include "resources/resource_ids.h"
#include "setup_ui/setup_dialog.h"

SetupApp& SetupApp::Get() { return *static_cast<SetupApp*>(Application::Current()); }

BOOL SetupApp::InitInstance() {
    osClass = GetOsClass();
    if (osClass == 0 || osClass == 1) {
        MessageBoxA(nullptr, "윈도우 2000 이상에서만 설치 됩니다.", "설치 안내", MB_OK);
        return FALSE;
    }
    ResolveSpecialFolders();
    if (!InitSockets()) {
        MessageBoxA(nullptr, "SOCKET을 생성할 수 없습니다.", "", MB_ICONERROR);
        return FALSE;
    }
    socketsStarted_ = true;

    {
        // A second start while a setup window is open brings that window back.
        ProcessFinder finder;
        DWORD other = finder.FindProcessId("InitVL2");
        if (other != 0 && other != GetCurrentProcessId()) {
            HWND window = FindWindowA("InitVL2", nullptr);
            if (window) ShowWindow(window, SW_RESTORE);
            return FALSE;
        }
        finder.Clear();
    }

    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) {
        gdiplusToken = 0;
        MessageBoxA(nullptr, "그래픽 라이브러리를 초기화할 수 없습니다.", "", MB_ICONERROR);
        return FALSE;
    }
    user32Module = LoadLibraryA("user32.dll");
    LoadInstallInfo();

    if (!IsInternetConnected()) {
        LaunchInstalledSuite(installedVersion);
        return FALSE;
    }
    if (!FetchManifest() || text::Left(downloadUrl, 4) != "http") {
        LaunchInstalledSuite(installedVersion);
        return FALSE;
    }

    std::string prefix = version_text::Prefix(manifestVersion);
    if (installedVersion.empty()) {
        CreateFolderTree(prefix);
        WriteWidgetDefaults(programFilesPath, prefix);
        setupMode = 1;
    } else if (version_text::IsOlder(installedVersion, manifestVersion)) {
        CreateFolderTree(prefix);
        setupMode = 2;
    } else {
        // Current or newer: the manifest's version names the folder to start from.
        LaunchInstalledSuite(manifestVersion);
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
        dialogClass.lpszClassName = "InitVL2";
        RegisterClassA(&dialogClass);
    }
    SetupDialog dialog(nullptr);
    setupDialog = &dialog;
    dialog.DoModal();
    setupDialog = nullptr;
}

int SetupApp::ExitInstance() {
    delete compositeImage;
    compositeImage = nullptr;
    delete baseImageCache;
    baseImageCache = nullptr;
    if (user32Module) FreeLibrary(user32Module);
    user32Module = nullptr;
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
    if (socketsStarted_) WSACleanup();
    return Application::ExitInstance();
}

void SetupApp::ResolveSpecialFolders() {
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE)) buffer[0] = '\0';
    programFilesPath = install_paths::CleanProgramFilesPath(buffer);
}

void SetupApp::CreateFolderTree(const std::string& version) {
    // Existing folders and failures alike are passed over: parents come first, so
    // each call can succeed on a clean disk, and a later step reports what is missing.
    for (const std::string& folder : install_paths::FolderTree(programFilesPath, version))
        CreateDirectoryA(folder.c_str(), nullptr);
}

void SetupApp::LoadInstallInfo() { installedVersion = text::Trim(ReadSetting(SettingKind::InstalledVersion)); }

int SetupApp::FetchManifest() {
    HttpTextClient client;
    client.SetDefaultText("");
    std::string body = client.Fetch(std::string("http://") + VL2_FILE_SERVER + "/velmora2/update/update.inf");
    UpdateManifest fields{manifestVersion, manifestDate, manifestComment, downloadUrl};
    if (!ParseManifest(body, fields)) return 0;
    // The version becomes a folder and a file name: one that could point outside the
    // product folder makes the manifest count as unreadable.
    if (!version_text::IsPlainFileName(fields.version)) return 0;
    manifestVersion = fields.version;
    manifestDate = fields.date;
    manifestComment = fields.comment;
    downloadUrl = fields.downloadUrl;
    return 1;
}

void SetupApp::LaunchInstalledSuite(const std::string& version) {
    LaunchProgram(CREATE_NEW_CONSOLE, install_paths::SuiteCommand(programFilesPath, version));
}
