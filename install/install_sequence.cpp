// The last stage of a fresh install or an update: record the version, register the
// autostart value, renew the shortcuts, report, drop and register the uninstaller,
// start the suite, prune the oldest version folder, and close the setup window.
#include <windows.h>
#include <shlobj.h>

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/setup_app.h"
#include "app/system_probes.h"
#include "build_settings.h"
#include "framework/file.h"
#include "framework/scoped.h"
#include "framework/text.h"
#include "install/folder_removal.h"
#include "net/http_text_client.h"
#include "net/install_report.h"
#include "resources/resource_ids.h"
#include "setup_ui/setup_dialog.h"

namespace {

std::string ShellFolder(int csidl) {
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) buffer[0] = '\0';
    return text::TrimRight(text::TrimRightAny(text::Format("%s", buffer), "\\"));
}

std::string PartnerCode() {
    char buffer[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_PARTNER_CODE, buffer, sizeof(buffer));
    return text::Trim(buffer);
}

// Writes the uninstaller carried as a resource. False when the file cannot be
// written; a missing resource leaves no file and is not a failure here.
bool WriteUninstaller(const std::string& path) {
    DeleteFileA(path.c_str());
    Sleep(10);
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDR_UNINSTALLER), MAKEINTRESOURCEA(10));
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes) {
        try {
            File file;
            file.Open(path, File::modeCreate | File::modeWrite);
            file.Write(bytes, size);
            Sleep(100);
            file.Close();
        } catch (const FileException&) {
            DeleteFileA(path.c_str());
            return false;
        }
    }
    Sleep(10);
    return true;
}

}  // namespace

void SetupDialog::RunInstallSequence(InstallVariant variant) {
    SetupApp& app = SetupApp::Get();
    const std::string& programFiles = app.programFilesPath;
    const std::string& version = app.manifestVersion;
    bool fresh = variant == InstallVariant::Fresh;
    const std::string launcher = install_paths::LauncherPath(programFiles, version);

    WriteSetting(SettingKind::InstalledVersion, "", version);
    WriteSetting(SettingKind::AutoRun, "", launcher);

    std::string startMenu = ShellFolder(CSIDL_PROGRAMS) + "\\Corvalen";
    CreateDirectoryA(startMenu.c_str(), nullptr);
    std::string startMenuLink = startMenu + "\\Velmora2.lnk";
    DeleteFileA(startMenuLink.c_str());
    CreateShortcut(launcher, startMenuLink, "Velmora2");

    // A user who removed the desktop or Quick Launch shortcut does not get it back
    // on an update.
    std::string desktopLink = ShellFolder(CSIDL_DESKTOP) + "\\Velmora2.lnk";
    if (fresh || FileExists(desktopLink)) {
        DeleteFileA(desktopLink.c_str());
        CreateShortcut(launcher, desktopLink, "Velmora2");
    }
    std::string quickLaunch = ShellFolder(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch";
    std::string oldQuickLink = quickLaunch + "\\Velmora.lnk";
    std::string quickLink = quickLaunch + "\\Velmora2.lnk";
    bool hadOldName = !fresh && FileExists(oldQuickLink);
    if (fresh || hadOldName) DeleteFileA(oldQuickLink.c_str());
    if (fresh || hadOldName || FileExists(quickLink)) {
        DeleteFileA(quickLink.c_str());
        CreateShortcut(launcher, quickLink, "Velmora2");
    }

    {
        std::string request = FormatInstallReport(VL2_REPORT_SERVER, fresh ? "VL2B" : "VL2U", GetAdapterAddressText(),
                                                  GetLocalIp(), version, PartnerCode());
        HttpTextClient client;
        client.SetDefaultText("");
        text::Trim(client.Fetch(request));  // the answer means nothing to the installer
    }

    std::string uninstaller = install_paths::UninstallerPath(programFiles);
    if (!WriteUninstaller(uninstaller)) {
        MessageBoxA(hwnd_,
                    "제거 프로그램(VL2Del.exe)을 만들 수 없습니다.\n"
                    "디스크 공간과 폴더 권한을 확인한 후 설치를 다시 시작해 주십시오.",
                    "Velmora 2.0 설치", MB_OK | MB_ICONERROR);
        return;
    }

    WriteSetting(SettingKind::Uninstall, "", "");
    WriteSetting(SettingKind::Uninstall, "DisplayName", "Velmora 2.0 제거");
    WriteSetting(SettingKind::Uninstall, "DisplayIcon", uninstaller);
    WriteSetting(SettingKind::Uninstall, "UninstallString", uninstaller);
    WriteSetting(SettingKind::Uninstall, "URLInfoAbout", std::string("http://") + VL2_SITE_HOST + "/");

    LaunchProgram(CREATE_NEW_CONSOLE, install_paths::SuiteCommand(programFiles, version));
    Sleep(50);

    PruneOldVersions();
    WriteSetting(SettingKind::AxCancel, "", "");
    OnCancel();
}

void SetupDialog::PruneOldVersions() {
    SetupApp& app = SetupApp::Get();
    std::string pattern = text::Format("%s\\Corvalen\\Velmora2\\*.*", app.programFilesPath.c_str());
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return;
    int count = 0;
    std::string oldest;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        // Version folders are the ones named "2..."; IMAGE, MEMO and MYLINK never count.
        if (name[0] != '2') continue;
        ++count;
        std::string prefix = text::Left(name, 4);
        if (count == 1 || text::MbsCompare(prefix, oldest) < 0) oldest = prefix;
    } while (FindNextFileA(search.Get(), &found));
    // The oldest is named by its four-character prefix, so a longer-named oldest
    // folder stays and only a folder named exactly that prefix goes.
    if (count > 2 && text::MbsCompare(oldest, app.manifestVersion) != 0)
        RemoveFolderTree(install_paths::VersionFolder(app.programFilesPath, oldest));
}
