#include <winsock2.h>  // before windows.h

#include "app/setup_app.h"

#include <shlobj.h>
#include <gdiplus.h>

#include "app/install_paths.h"
#include "app/system_probes.h"

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

    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) {
        gdiplusToken = 0;
        MessageBoxA(nullptr, "그래픽 라이브러리를 초기화할 수 없습니다.", "", MB_ICONERROR);
        return FALSE;
    }
    user32Module = LoadLibraryA("user32.dll");

    if (!IsInternetConnected()) {
        LaunchInstalledSuite(installedVersion);
        return FALSE;
    }
    LaunchInstalledSuite(installedVersion);
    return FALSE;
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

void SetupApp::LaunchInstalledSuite(const std::string& version) {
    LaunchProgram(CREATE_NEW_CONSOLE, install_paths::SuiteCommand(programFilesPath, version));
}
