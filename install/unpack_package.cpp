#include "install/unpack_package.h"

#include "archive/archive_reader.h"
#include "framework/file.h"

namespace install {

UnpackResult UnpackPackage(ArchiveReader& reader, const std::string& packagePath, const std::string& targetFolder,
                           const BeforeEntry& beforeEntry) {
    UnpackResult result = UnpackResult::Completed;
    try {
        reader.Close();
        reader.Open(packagePath.c_str(), ArchiveReader::OpenExisting, 0);
        int count = reader.GetCount();
        for (int i = 0; i < count && result == UnpackResult::Completed; ++i) {
            if (beforeEntry) beforeEntry(i, count);
            if (!reader.ExtractFile(i, targetFolder.c_str(), true, nullptr, nullptr, nullptr, 65535))
                result = UnpackResult::EntryFailed;
        }
        reader.Close();
    } catch (const Exception&) {
        reader.Close(true);
        result = UnpackResult::ArchiveError;
    }
    file_system::RemoveFile(packagePath);
    return result;
}

}  // namespace install
