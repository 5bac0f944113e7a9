// Turns a downloaded package into the version folder.
#pragma once

#include <functional>
#include <string>

class ArchiveReader;

namespace install {

enum class UnpackResult {
    Completed,     // every entry was tried; the package is deleted
    ArchiveError,  // the package is damaged or hostile; the reader is reset, the package deleted
};

// Told the index of the entry about to be extracted and the number of entries.
using BeforeEntry = std::function<void(int index, int count)>;

// Extracts every entry of `packagePath` into `targetFolder`, in order, with full
// paths. The package file goes in either case, so that a new start fetches it afresh.
UnpackResult UnpackPackage(ArchiveReader& reader, const std::string& packagePath, const std::string& targetFolder,
                           const BeforeEntry& beforeEntry);

}  // namespace install
