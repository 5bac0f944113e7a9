// Keeps the product folder from growing with every update: after an install, the
// folders of the oldest version go once more than two versions are there.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace install {

// The choice alone, from the names of the folders inside the product folder (shared
// folders included: only names beginning with "2" count) and the version just
// installed. Versions are counted by their first four characters; with more than
// two, every folder of the oldest goes except the one just installed and those in
// `named` (what the autostart value or a shortcut starts: a pointer must never name
// a folder that is gone). Returns the folder names to remove.
std::vector<std::string> VersionFoldersToPrune(const std::vector<std::string>& folderNames,
                                               const std::string& installedVersion,
                                               const std::set<std::string>& named = {});

// The version folder a pointer's target lies in ("...\Velmora2\2.01\BIN\x.exe",
// quoted or not, in any letter case, gives "2.01"); "" when it lies elsewhere.
std::string VersionNamedBy(const std::string& target, const std::string& productFolder);

// The version folders among `folderNames` for which `isWhole` holds, newest first.
std::vector<std::string> WholeVersionsNewestFirst(const std::vector<std::string>& folderNames,
                                                  const std::function<bool(const std::string&)>& isWhole);

// The version whose launcher the stable launcher starts: the recorded one while its
// folder has a launcher (`hasLauncher`), the newest folder that has one otherwise, so
// that a recorded version that vanished still starts a launcher that repairs it;
// "" when no folder has one.
std::string VersionToLaunch(const std::string& recorded, const std::vector<std::string>& folderNames,
                            const std::function<bool(const std::string&)>& hasLauncher);

// The folders inside `folder`, "." and ".." aside.
std::vector<std::string> FolderNamesIn(const std::string& folder);
// The folders inside the product folder below `installRoot`.
std::vector<std::string> ProductFolderNames(const std::string& installRoot);

// Whether a version's folder holds its suite and its launcher.
bool IsWholeVersion(const std::string& installRoot, const std::string& version);

// Looks at the product folder below `installRoot` and removes what
// VersionFoldersToPrune chooses, sparing what the autostart value and the shortcuts
// start.
void PruneOldVersions(const std::string& installRoot, const std::string& installedVersion);

}  // namespace install
