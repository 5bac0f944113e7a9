#include "install/install_sequence.h"

#include <windows.h>
#include <shlobj.h>

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "app/system_probes.h"
#include "build_settings.h"
#include "framework/file.h"
#include "framework/text.h"
#include "install/folder_removal.h"
#include "install/version_pruning.h"
#include "net/http_text_client.h"
#include "net/install_report.h"
#include "net/server_address.h"
#include "resources/resource_ids.h"

namespace install {
namespace {

std::string PartnerCode() {
    char buffer[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_PARTNER_CODE, buffer, sizeof(buffer));
    return text::Trim(buffer);
}

// Writes the uninstaller carried as a resource. It is written whole under another
// name first and only then put in the old one's place, so that a full disk or a
// locked file leaves the old uninstaller (and the entry that names it) working.
// False when the new one could not be put in place; a missing resource leaves
// everything as it is and is not a failure here.
bool ReplaceUninstaller(const std::string& path) {
    const std::string fresh = path + ".new";
    DeleteFileA(fresh.c_str());
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDR_UNINSTALLER), RT_RCDATA);
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return true;
    try {
        File file;
        file.Open(fresh, File::modeCreate | File::modeWrite);
        file.Write(bytes, size);
        file.Close();
    } catch (const FileException&) {
        DeleteFileA(fresh.c_str());
        return false;
    }
    if (!MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(fresh.c_str());
        return false;
    }
    return true;
}

// Deletes the link and writes it anew.
void RenewShortcut(const std::string& target, const std::string& link, const ShortcutFailed& shortcutFailed) {
    DeleteFileA(link.c_str());
    ShortcutResult result = CreateShortcut(target, link, suite::kShortcutDescription);
    if (result.Failed() && shortcutFailed) shortcutFailed(result);
}

void SendInstallReport(bool fresh, const std::string& version) {
    std::string request = FormatInstallReport(VL2_REPORT_SERVER, fresh ? "VL2B" : "VL2U", GetAdapterAddressText(),
                                              GetLocalIp(), version, PartnerCode());
    HttpTextClient client;
    client.SetDefaultText("");
    text::Trim(client.Fetch(request));  // the answer means nothing to the installer
}

void RegisterUninstaller(const std::string& installRoot) {
    WriteSetting(SettingKind::Uninstall, "", "");
    WriteSetting(SettingKind::Uninstall, "DisplayName", "Velmora 2.0 제거");
    WriteSetting(SettingKind::Uninstall, "DisplayIcon", install_paths::UninstallerPath(installRoot));
    WriteSetting(SettingKind::Uninstall, "UninstallString", install_paths::UninstallCommand(installRoot));
    WriteSetting(SettingKind::Uninstall, "URLInfoAbout", server_address::UrlOnServer(VL2_SITE_HOST, "/"));
}

}  // namespace

InstallOutcome RunInstallSequence(const InstallRequest& request, const InstallCallbacks& callbacks) {
    const ShortcutFailed& shortcutFailed = callbacks.shortcutFailed;
    const std::string& installRoot = request.installRoot;
    const std::string& version = request.version;
    bool fresh = request.variant == InstallVariant::Fresh;
    const std::string launcher = install_paths::LauncherPath(installRoot, version);

    WriteSetting(SettingKind::InstalledVersion, "", version);
    WriteSetting(SettingKind::AutoRun, "", install_paths::AutoRunCommand(installRoot, version));

    std::string startMenu = ShellFolder(CSIDL_PROGRAMS) + "\\" + suite::kStartMenuFolder;
    CreateDirectoryA(startMenu.c_str(), nullptr);
    RenewShortcut(launcher, startMenu + "\\" + suite::kShortcutName, shortcutFailed);

    // A user who removed the desktop or Quick Launch shortcut does not get it back
    // on an update.
    std::string desktopLink = ShellFolder(CSIDL_DESKTOP) + "\\" + suite::kShortcutName;
    if (fresh || FileExists(desktopLink)) RenewShortcut(launcher, desktopLink, shortcutFailed);
    std::string quickLaunch = ShellFolder(CSIDL_APPDATA) + "\\" + suite::kQuickLaunchFolder;
    std::string oldQuickLink = quickLaunch + "\\" + suite::kOldQuickLaunchShortcutName;
    std::string quickLink = quickLaunch + "\\" + suite::kShortcutName;
    bool hadOldName = !fresh && FileExists(oldQuickLink);
    if (fresh || hadOldName) DeleteFileA(oldQuickLink.c_str());
    if (fresh || hadOldName || FileExists(quickLink)) RenewShortcut(launcher, quickLink, shortcutFailed);

    InstallOutcome outcome = InstallOutcome::Completed;
    std::string uninstaller = install_paths::UninstallerPath(installRoot);
    if (ReplaceUninstaller(uninstaller))
        RegisterUninstaller(installRoot);
    else
        outcome = InstallOutcome::UninstallerKept;

    LaunchSuite(installRoot, version);
    // After the start: in an update the suite is down from its quit request until
    // here, and a slow report server must not add its time-out to that.
    SendInstallReport(fresh, version);
    PruneOldVersions(installRoot, version);
    WriteSetting(SettingKind::AxCancel, "", "");
    return outcome;
}

}  // namespace install
