#include "install/install_sequence.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "app/shell_folders.h"
#include "app/suite_contract.h"
#include "app/uninstall_entry.h"
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

enum class Carried { Placed, Failed, NotCarried };

// Puts the program carried as resource `id` at `path`, unless the same bytes are
// there already. It is written whole under another name first and only then put in
// the old one's place, so that a full disk or a locked file leaves the old program
// (and whatever names it) working.
Carried PlaceCarriedProgram(int id, const std::string& path) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return Carried::NotCarried;
    if (file_system::Exists(path)) {
        try {
            File present;
            present.Open(path, File::modeRead);
            std::vector<char> old(size);
            if (present.GetLength() == size && present.Read(old.data(), size) == size &&
                memcmp(old.data(), bytes, size) == 0)
                return Carried::Placed;
        } catch (const FileException&) {
            // Unreadable: written anew below.
        }
    }
    const std::string fresh = path + ".new";
    file_system::RemoveFile(fresh);
    try {
        File file;
        file.Open(fresh, File::modeCreate | File::modeWrite);
        file.Write(bytes, size);
        // On the disk before anything names it.
        file.Flush();
        file.Close();
    } catch (const FileException&) {
        file_system::RemoveFile(fresh);
        return Carried::Failed;
    }
    if (!file_system::Rename(fresh, path)) {
        file_system::RemoveFile(fresh);
        return Carried::Failed;
    }
    return Carried::Placed;
}

// Writes the link anew under another name and puts it in the old one's place, so
// that a cut at any moment leaves the old link or the new one, never none. A link
// that already starts `target` in `workingFolder` is left as it is.
void RenewShortcut(const std::string& target, const std::string& workingFolder, const std::string& link,
                   const ShortcutFailed& shortcutFailed) {
    if (link.empty()) {
        // No folder the programs can name: told as a link that could not be saved.
        ShortcutResult result;
        result.notSaved = true;
        if (shortcutFailed) shortcutFailed(result);
        return;
    }
    ShortcutFields present = ReadShortcut(link);
    if (text::MbsUpper(present.target) == text::MbsUpper(target) &&
        text::MbsUpper(present.workingFolder) == text::MbsUpper(workingFolder))
        return;
    const std::string fresh = link + ".new";
    file_system::RemoveFile(fresh);
    ShortcutResult result = CreateShortcut(target, workingFolder, fresh, suite::kShortcutDescription);
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

// The autostart value and every shortcut name the stable launcher, which starts the
// recorded version; where it could not be put in place, `version`'s own launcher.
// A user who removed the desktop or Quick Launch shortcut does not get it back on an
// update.
void PointTo(const std::string& installRoot, const std::string& version, bool fresh,
             const ShortcutFailed& shortcutFailed) {
    std::string launcher = install_paths::StableLauncherPath(installRoot);
    if (PlaceCarriedProgram(IDR_STABLE_LAUNCHER, launcher) != Carried::Placed)
        launcher = install_paths::LauncherPath(installRoot, version);
    const std::string folder = launcher.substr(0, launcher.rfind('\\'));
    WriteSetting(SettingKind::AutoRun, "", install_paths::AutoRunCommand(launcher));
    ShortcutPlaces places = SuiteShortcutPlaces();
    CreateDirectoryA(places.startMenuFolder.c_str(), nullptr);
    RenewShortcut(launcher, folder, places.startMenu, shortcutFailed);
    if (fresh || FileExists(places.desktop)) RenewShortcut(launcher, folder, places.desktop, shortcutFailed);
    bool hadOldName = !fresh && FileExists(places.oldQuickLaunch);
    if (fresh || hadOldName) file_system::RemoveFile(places.oldQuickLaunch);
    if (fresh || hadOldName || FileExists(places.quickLaunch))
        RenewShortcut(launcher, folder, places.quickLaunch, shortcutFailed);
}

// The bytes of every file below `folder`.
uint64_t FolderBytes(const std::string& folder) {
    uint64_t total = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += FolderBytes(folder + "\\" + name);
        else
            total += (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return total;
}

void RegisterUninstaller(const std::string& installRoot, const std::string& version) {
    uninstall_entry::Facts facts;
    facts.installRoot = installRoot;
    facts.version = version;
    facts.installedBytes = FolderBytes(install_paths::VersionFolder(installRoot, version));
    facts.siteUrl = server_address::UrlOnServer(VL2_SITE_HOST, "/");
    for (const uninstall_entry::Value& value : uninstall_entry::Values(facts)) {
        if (value.isNumber)
            WriteNumberSetting(SettingKind::Uninstall, value.name, value.number);
        else
            WriteSetting(SettingKind::Uninstall, value.name, value.text);
    }
}

// The new suite did not start: the version before it (below `installRoot`, which
// may be the folder the run moved the suite out of) comes back, with every pointer,
// and the new one is remembered so that it is not taken again until a newer release.
// The failure is recorded first, so that a start cut off in between never prefers it.
// With `entryHere` (the run built in this same place) the uninstall entry names the
// version that runs again; going back to a place the run moved the suite out of,
// the entry is left as the run wrote it.
void GoBack(const std::string& installRoot, const std::string& failed, const std::string& previous, bool entryHere,
            const ShortcutFailed& shortcutFailed) {
    WriteSetting(SettingKind::FailedVersion, "", failed);
    ClearSetting(SettingKind::SwitchVersion);
    WriteSetting(SettingKind::InstallPath, "", install_paths::ProductFolder(installRoot));
    WriteSetting(SettingKind::InstalledVersion, "", previous);
    FlushSettings();
    PointTo(installRoot, previous, false, shortcutFailed);
    if (entryHere) RegisterUninstaller(installRoot, previous);
    FlushSettings();
    StartInstalledSuite(installRoot, {previous}, WhenRunning::StartAnother);
    Send(FormatFailedStartReport(VL2_REPORT_SERVER, GetAdapterAddressText(), GetLocalIp(), failed, PartnerCode()));
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
    if (PlaceCarriedProgram(IDR_UNINSTALLER, install_paths::UninstallerPath(installRoot)) != Carried::Failed)
        RegisterUninstaller(installRoot, version);
    else
        outcome = InstallOutcome::UninstallerKept;
    WriteSetting(SettingKind::AxCancel, "", "");
    FlushSettings();

    // Watched a few seconds: a release whose suite does not start here goes back by
    // itself to the version it replaced, which pruning has kept.
    StartHealth health = StartAndWatch(installRoot, version);
    const std::string& previousRoot = request.previousRoot.empty() ? installRoot : request.previousRoot;
    bool wentBack = health != StartHealth::Started && !request.previousVersion.empty() &&
                    IsWholeVersion(previousRoot, request.previousVersion);
    if (wentBack) {
        GoBack(previousRoot, version, request.previousVersion, previousRoot == installRoot, shortcutFailed);
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
    // record that names it. The product folder is recorded first: a run that moves
    // the suite out of a folder it cannot write (Program Files) names the new place
    // before the switch, so that a start cut off after this finds the switch there.
    file_system::FlushToDisk(install_paths::VersionFolder(installRoot, version));
    WriteSetting(SettingKind::InstallPath, "", install_paths::ProductFolder(installRoot));
    WriteSetting(SettingKind::SwitchVersion, "", version);
    FlushSettings();
}

}  // namespace install
