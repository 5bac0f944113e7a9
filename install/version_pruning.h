// Keeps the product folder from growing with every update: after an install, the
// oldest version folder goes once more than two are there.
#pragma once

#include <string>
#include <vector>

namespace install {

// The choice alone, from the names of the folders inside the product folder (shared
// folders included: only names beginning with "2" count as versions) and the
// version just installed. Returns the folder names to remove.
std::vector<std::string> VersionFoldersToPrune(const std::vector<std::string>& folderNames,
                                               const std::string& installedVersion);

// Looks at the product folder below `programFilesPath` and removes what
// VersionFoldersToPrune chooses.
void PruneOldVersions(const std::string& programFilesPath, const std::string& installedVersion);

}  // namespace install
