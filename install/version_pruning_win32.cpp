#include "install/version_pruning.h"

#include <windows.h>

#include "app/install_paths.h"
#include "framework/scoped.h"
#include "install/folder_removal.h"

namespace install {

void PruneOldVersions(const std::string& installRoot, const std::string& installedVersion) {
    std::string pattern = install_paths::ProductFolder(installRoot) + "\\*.*";
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search) return;
    std::vector<std::string> folders;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        folders.push_back(name);
    } while (FindNextFileA(search.Get(), &found));
    for (const std::string& name : VersionFoldersToPrune(folders, installedVersion))
        RemoveFolderTree(install_paths::VersionFolder(installRoot, name));
}

}  // namespace install
