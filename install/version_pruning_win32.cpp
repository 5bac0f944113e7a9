#include "install/version_pruning.h"

#include <windows.h>

#include "app/install_paths.h"
#include "app/registry_store.h"
#include "framework/file.h"
#include "install/folder_removal.h"
#include "install/shortcuts.h"

namespace install {

namespace {

// What the autostart value and each shortcut start.
std::vector<std::string> PointerTargets() {
    ShortcutPlaces places = SuiteShortcutPlaces();
    return {ReadSetting(SettingKind::AutoRun), ShortcutTarget(places.startMenu), ShortcutTarget(places.desktop),
            ShortcutTarget(places.quickLaunch)};
}

}  // namespace

std::vector<std::string> FolderNamesIn(const std::string& folder) {
    std::vector<std::string> folders;
    for (const file_system::FolderEntry& entry : file_system::EntriesIn(folder))
        if (entry.isFolder) folders.push_back(entry.name);
    return folders;
}

std::vector<std::string> ProductFolderNames(const std::string& installRoot) {
    return FolderNamesIn(install_paths::ProductFolder(installRoot));
}

void PruneOldVersions(const std::string& installRoot, const std::string& installedVersion) {
    std::string product = install_paths::ProductFolder(installRoot);
    std::set<std::string> named;
    for (const std::string& target : PointerTargets()) {
        std::string version = VersionNamedBy(target, product);
        if (!version.empty()) named.insert(version);
    }
    for (const std::string& name : VersionFoldersToPrune(ProductFolderNames(installRoot), installedVersion, named))
        RemoveFolderTree(install_paths::VersionFolder(installRoot, name));
}

}  // namespace install
