#include "install/staging.h"

#include "app/install_paths.h"
#include "archive/archive_paths.h"
#include "framework/file.h"

namespace install {

std::string UnusedPath(const std::string& folder, const std::string& base) {
    std::string path = folder + "\\" + base;
    for (int n = 2; file_system::Exists(path); ++n) path = folder + "\\" + base + "-" + std::to_string(n);
    return path;
}

bool MakeVersionTree(const std::string& tree) {
    if (!archive_paths::CreateFolderChain(tree)) return false;
    for (const std::string& folder : install_paths::VersionTreeFolders())
        if (!archive_paths::CreateFolderChain(tree + "\\" + folder)) return false;
    return true;
}

bool PlaceVersionFolder(const std::string& tree, const std::string& versionFolder, const std::string& staging) {
    if (file_system::Exists(versionFolder)) {
        std::string aside = UnusedPath(staging, "replaced");
        if (!file_system::Rename(versionFolder, aside)) return false;
    }
    return file_system::Rename(tree, versionFolder);
}

}  // namespace install
