// Turns a downloaded package into the version folder.
#pragma once

#include <functional>
#include <string>

class ArchiveReader;

namespace install {

// The package file is deleted whatever the result, so that a new start fetches it afresh.
enum class UnpackResult {
    Completed,     // every entry was extracted whole
    ArchiveError,  // the package is damaged or hostile; the reader is reset
    EntryFailed,   // an entry was refused or could not be written; the rest were not tried
};

// Told the index of the entry about to be extracted and the number of entries.
using BeforeEntry = std::function<void(int index, int count)>;

// Extracts every entry of `packagePath` into `targetFolder`, in order, with full
// paths. A version folder is complete or the result says it is not: one missing
// file may be the launcher itself.
UnpackResult UnpackPackage(ArchiveReader& reader, const std::string& packagePath, const std::string& targetFolder,
                           const BeforeEntry& beforeEntry);

}  // namespace install
