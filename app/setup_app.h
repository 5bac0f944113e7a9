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

class SetupApp : public Application {
 public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    static SetupApp& Get();

    void ResolveSpecialFolders();
    void CreateFolderTree(const std::string& version);

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

 private:
    void LaunchInstalledSuite(const std::string& version);
    bool socketsStarted_ = false;
};
