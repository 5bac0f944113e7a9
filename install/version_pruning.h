// Keeps the product folder from growing with every update: after an install, the
// folders of the oldest version go once more than two versions are there.
#pragma once

#include <string>
#include <vector>

namespace install {

// The choice alone, from the names of the folders inside the product folder (shared
// folders included: only names beginning with "2" count) and the version just
// installed. Versions are counted by their first four characters; with more than
// two, every folder of the oldest goes except the one just installed. Returns the
// folder names to remove.
std::vector<std::string> VersionFoldersToPrune(const std::vector<std::string>& folderNames,
                                               const std::string& installedVersion);

// Looks at the product folder below `installRoot` and removes what
// VersionFoldersToPrune chooses.
void PruneOldVersions(const std::string& installRoot, const std::string& installedVersion);

}  // namespace install
