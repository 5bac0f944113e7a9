// Path handling of the extraction: splitting a stored name the way the C run time's
// _splitpath does (either slash separates), refusing names that climb out of the
// target, and creating a chain of folders.
#pragma once

#include <string>

namespace archive_paths {

struct PathParts {
    std::string drive;      // "C:" or empty
    std::string directory;  // with its trailing separator
    std::string fileName;
    std::string extension;  // with its dot
};

PathParts SplitPath(const std::string& path);

// True when a folder component of `name` would lead above the folder it is put
// under: "..", or any component of only dots and blanks (which Windows shortens).
bool ClimbsOut(const std::string& name);

std::string StripTrailingSeparators(const std::string& path);

// Creates `path` and every missing folder above it; false when a part of the chain
// cannot be created (for example because a file of that name is in the way).
bool CreateFolderChain(const std::string& path);

}  // namespace archive_paths
