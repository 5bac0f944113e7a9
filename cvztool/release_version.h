// The versions that `cvztool release` publishes, which is also what the adoption
// report takes for a version: a name the installer takes for a folder and a file,
// of letters, digits, dots, hyphens and underscores only, so that the download
// address carries it as it stands.
#pragma once

#include <string>

namespace release_version {

// Letters, digits, dots, hyphens and underscores, nothing else.
bool IsAddressSafe(const std::string& version);

// A version `cvztool release` accepts.
bool IsReleasable(const std::string& version);

}  // namespace release_version
