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
#include "install/suite_quit.h"
#include "install/suite_start.h"
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
    file_system::RemoveFile(fresh);
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
        // On the disk before the uninstall entry names it.
        file.Flush();
        file.Close();
    } catch (const FileException&) {
        file_system::RemoveFile(fresh);
        return false;
    }
    if (!file_system::Rename(fresh, path)) {
        file_system::RemoveFile(fresh);
        return false;
    }
    return true;
}

// Writes the link anew under another name and puts it in the old one's place, so
// that a cut at any moment leaves the old link or the new one, never none.
void RenewShortcut(const std::string& target, const std::string& link, const ShortcutFailed& shortcutFailed) {
    const std::string fresh = link + ".new";
    file_system::RemoveFile(fresh);
    ShortcutResult result = CreateShortcut(target, fresh, suite::kShortcutDescription);
    if (!result.Failed() && (!file_system::FlushToDisk(fresh) || !file_system::Rename(fresh, link)))
        result.notSaved = true;
    if (result.Failed()) {
        file_system::RemoveFile(fresh);
        if (shortcutFailed) shortcutFailed(result);
    }
}

void Send(const std::string& request) {
    HttpTextClient client;
    client.SetDefaultText("");
    text::Trim(client.Fetch(request));  // the answer means nothing to the installer
}

void SendInstallReport(bool fresh, const std::string& version) {
    Send(FormatInstallReport(VL2_REPORT_SERVER, fresh ? "VL2B" : "VL2U", GetAdapterAddressText(), GetLocalIp(), version,
                             PartnerCode()));
}

// The autostart value and every shortcut name `version`'s launcher. A user who
// removed the desktop or Quick Launch shortcut does not get it back on an update.
void PointTo(const std::string& installRoot, const std::string& version, bool fresh,
             const ShortcutFailed& shortcutFailed) {
    const std::string launcher = install_paths::LauncherPath(installRoot, version);
    WriteSetting(SettingKind::AutoRun, "", install_paths::AutoRunCommand(installRoot, version));
    ShortcutPlaces places = SuiteShortcutPlaces();
    CreateDirectoryA(places.startMenuFolder.c_str(), nullptr);
    RenewShortcut(launcher, places.startMenu, shortcutFailed);
    if (fresh || FileExists(places.desktop)) RenewShortcut(launcher, places.desktop, shortcutFailed);
    bool hadOldName = !fresh && FileExists(places.oldQuickLaunch);
    if (fresh || hadOldName) file_system::RemoveFile(places.oldQuickLaunch);
    if (fresh || hadOldName || FileExists(places.quickLaunch))
        RenewShortcut(launcher, places.quickLaunch, shortcutFailed);
}

// The new suite did not start: the version before it comes back, with every pointer,
// and the new one is remembered so that it is not taken again until a newer release.
// The failure is recorded first, so that a start cut off in between never prefers it.
void GoBack(const std::string& installRoot, const std::string& failed, const std::string& previous,
            const ShortcutFailed& shortcutFailed) {
    WriteSetting(SettingKind::FailedVersion, "", failed);
    ClearSetting(SettingKind::SwitchVersion);
    WriteSetting(SettingKind::InstalledVersion, "", previous);
    FlushSettings();
    PointTo(installRoot, previous, false, shortcutFailed);
    FlushSettings();
    StartInstalledSuite(installRoot, {previous}, WhenRunning::StartAnother);
    Send(FormatFailedStartReport(VL2_REPORT_SERVER, GetAdapterAddressText(), GetLocalIp(), failed, PartnerCode()));
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

    // The new version's folder is whole and on the disk, and the switch to it is
    // recorded as begun: from here on a start that finds the switch cut off finishes
    // it. Each record below names only what is whole already, and none goes before
    // the one it depends on reaches the disk, so that after a power cut at any point
    // every pointer names a file that exists.
    AskSuiteToQuit();
    WriteSetting(SettingKind::InstalledVersion, "", version);
    FlushSettings();
    PointTo(installRoot, version, fresh, shortcutFailed);

    InstallOutcome outcome = InstallOutcome::Completed;
    std::string uninstaller = install_paths::UninstallerPath(installRoot);
    if (ReplaceUninstaller(uninstaller))
        RegisterUninstaller(installRoot);
    else
        outcome = InstallOutcome::UninstallerKept;
    WriteSetting(SettingKind::AxCancel, "", "");
    FlushSettings();

    // Watched a few seconds: a release whose suite does not start here goes back by
    // itself to the version it replaced, which pruning has kept.
    StartHealth health = StartAndWatch(installRoot, version);
    bool wentBack = health != StartHealth::Started && !request.previousVersion.empty() &&
                    IsWholeVersion(installRoot, request.previousVersion);
    if (wentBack) {
        GoBack(installRoot, version, request.previousVersion, shortcutFailed);
        return InstallOutcome::WentBack;
    }
    // After the start: in an update the suite is down from its quit request until
    // here, and a slow report server must not add its time-out to that.
    if (health == StartHealth::Started)
        SendInstallReport(fresh, version);
    else
        Send(FormatFailedStartReport(VL2_REPORT_SERVER, GetAdapterAddressText(), GetLocalIp(), version, PartnerCode()));
    // The switch is done only once it is reported: a start that finds it cut off
    // before finishes it, the report included.
    ClearSetting(SettingKind::SwitchVersion);
    ClearSetting(SettingKind::FailedVersion);
    FlushSettings();
    PruneOldVersions(installRoot, version);
    return outcome;
}

void BeginSwitch(const std::string& installRoot, const std::string& version) {
    // The folder's entries, the rename into it included, reach the disk before the
    // record that names it.
    file_system::FlushToDisk(install_paths::VersionFolder(installRoot, version));
    WriteSetting(SettingKind::SwitchVersion, "", version);
    FlushSettings();
}

}  // namespace install
