// The installer's application object. InitInstance decides, once and before any
// window is shown, what this run does: refuse, hand over to a running copy, start
// the installed suite, or open the setup window for a fresh install or an update.
#pragma once

#include <windows.h>

#include <string>

#include "framework/application.h"

namespace Gdiplus {
class Bitmap;
class CachedBitmap;
}  // namespace Gdiplus

class SetupDialog;

class SetupApp : public Application {
 public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    static SetupApp& Get();

    void ResolveSpecialFolders();
    void CreateFolderTree(const std::string& version);
    void LoadInstallInfo();
    // Reads the vendor's update manifest into the manifest fields; 1 when a
    // manifest was read and applied, 0 otherwise (no field changes then).
    int FetchManifest();

    ULONG_PTR gdiplusToken = 0;
    HMODULE user32Module = nullptr;
    Gdiplus::Bitmap* compositeImage = nullptr;
    Gdiplus::CachedBitmap* baseImageCache = nullptr;
    std::string programFilesPath;
    int osClass = 9;  // not yet classified
    std::string installedVersion;
    int windowAlpha = 255;
    int zOrderMode = 0;
    int setupMode = 0;  // 0 undecided, 1 fresh install, 2 update
    std::string manifestVersion;
    std::string downloadUrl;
    std::string manifestDate;
    std::string manifestComment;
    // The setup window while its modal loop runs (the application's main window).
    SetupDialog* setupDialog = nullptr;

 private:
    void LaunchInstalledSuite(const std::string& version);
    void RunSetupWindow();
    bool socketsStarted_ = false;
};
