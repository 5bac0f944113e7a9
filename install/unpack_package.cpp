// The unpacking driver: turns the downloaded package into the version folder and
// hands over to the completion count (fresh install) or the install sequence
// (update).
#include "app/install_paths.h"
#include "app/setup_app.h"
#include "setup_ui/compositor.h"
#include "setup_ui/setup_dialog.h"

void SetupDialog::UnpackPackage() {
    SetupApp& app = SetupApp::Get();
    std::string package = packagePath;
    std::string target = install_paths::VersionFolder(app.programFilesPath, app.manifestVersion);
    try {
        archive.Close();
        archive.Open(package.c_str(), ArchiveReader::OpenExisting, 0);
        int count = archive.GetCount();
        for (int i = 0; i < count; ++i) {
            if (i % 30 == 20 && app.setupMode >= 0 && app.setupMode <= 2) {
                ++stepCounter;
                InvalidateRect(hwnd_, nullptr, TRUE);
                SetZOrderMode(hwnd_, 0);
                ShowWindow(hwnd_, SW_SHOW);
            }
            ArchiveEntryInfo info;
            archive.GetEntryInfo(i, info);
            // Paces the extraction so that the slideshow has time to be seen.
            Sleep(100);
            // A false result (an entry refused or short) moves on to the next one.
            archive.ExtractFile(i, target.c_str(), true, nullptr, nullptr, nullptr, 65535);
        }
        Sleep(100);
        archive.Close();
    } catch (const Exception&) {
        // A damaged or hostile package: reset the reader, drop the download so that a
        // new start fetches it afresh, and leave what is installed as it is.
        archive.Close(true);
        DeleteFileA(package.c_str());
        Fail("Velmora 2.0 설치 파일의 압축을 풀 수 없습니다.\n"
             "설치 파일이 손상되었을 수 있습니다. 설치를 처음부터 다시 시작해 주십시오.");
        return;
    }
    DeleteFileA(package.c_str());
    unpackCompleted = true;
    if (app.setupMode == 0 || app.setupMode == 1)
        completionTimer = SetTimer(hwnd_, kCompletionTimer, 100, nullptr);
    else if (app.setupMode == 2)
        RunInstallSequence(InstallVariant::Update);
}
