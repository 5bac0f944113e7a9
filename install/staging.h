// The run's staging (install_paths::StagingFolder): where the new version is built
// and checked, and from where it gets its version folder's name in one rename once
// it is whole, so that a version folder only ever exists whole.
#pragma once

#include <string>
#include <vector>

namespace install {

// A name under `folder` that nothing holds yet: `base`, else `base-2`, `base-3`, ...
// A leftover that could not be removed is never written into: it is passed by.
std::string UnusedPath(const std::string& folder, const std::string& base);

// Makes `tree` (a new folder of the staging) with the folders every version holds
// (BIN, SKIN\CORE, ...), which then move with it. False when it cannot be made.
bool MakeVersionTree(const std::string& tree);

// Gives the staged `tree` the name `versionFolder`. A folder already there (the
// recorded version a repair replaces, or a version that was gone back from) is
// first moved out of the way into `staging`, to go with the staging's other
// leftovers, and hands what the suite keeps in its data folders on to `tree`.
// False, with `versionFolder` as it was, when any move fails.
bool PlaceVersionFolder(const std::string& tree, const std::string& versionFolder, const std::string& staging);

}  // namespace install
