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

namespace {

// Moves what the suite keeps in `from`'s data folders into the same folders of `to`
// where `to` has nothing of that name (the package's own files stay), noting each
// path moved, relative to the version folder, in `moved`. False at the first move
// that fails, for the caller to give back what was moved.
bool HandOnSuiteData(const std::string& from, const std::string& to, std::vector<std::string>& moved) {
    for (const std::string& folder : install_paths::SuiteDataFolders()) {
        for (const file_system::FolderEntry& entry : file_system::EntriesIn(from + "\\" + folder)) {
            std::string relative = folder + "\\" + entry.name;
            if (file_system::Exists(to + "\\" + relative)) continue;
            if (!file_system::Rename(from + "\\" + relative, to + "\\" + relative)) return false;
            moved.push_back(relative);
        }
    }
    return true;
}

void GiveBack(const std::string& from, const std::string& to, const std::vector<std::string>& moved) {
    for (const std::string& relative : moved) file_system::Rename(from + "\\" + relative, to + "\\" + relative);
}

}  // namespace

bool PlaceVersionFolder(const std::string& tree, const std::string& versionFolder, const std::string& staging) {
    if (!file_system::Exists(versionFolder)) return file_system::Rename(tree, versionFolder);
    // A folder of that name (a damaged version a repair replaces, or one gone back
    // from) goes to the staging, to be removed with it; what the user made in it
    // comes along into the new folder first.
    std::string aside = UnusedPath(staging, "replaced");
    if (!file_system::Rename(versionFolder, aside)) return false;
    std::vector<std::string> moved;
    if (HandOnSuiteData(aside, tree, moved) && file_system::Rename(tree, versionFolder)) return true;
    GiveBack(tree, aside, moved);
    file_system::Rename(aside, versionFolder);
    return false;
}

}  // namespace install
