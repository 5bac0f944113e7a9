#include "install/unpack_package.h"

#include "archive/archive_reader.h"
#include "framework/file.h"

namespace install {

UnpackResult UnpackPackage(ArchiveReader& reader, const std::string& packagePath, const std::string& targetFolder,
                           const BeforeEntry& beforeEntry) {
    try {
        reader.Close();
        reader.Open(packagePath.c_str(), ArchiveReader::OpenExisting, 0);
        int count = reader.GetCount();
        for (int i = 0; i < count; ++i) {
            if (beforeEntry) beforeEntry(i, count);
            if (!reader.ExtractFile(i, targetFolder.c_str(), true, nullptr, nullptr, nullptr, 65535)) {
                reader.Close();
                file_system::RemoveFile(packagePath);
                return UnpackResult::EntryFailed;
            }
        }
        reader.Close();
    } catch (const Exception&) {
        reader.Close(true);
        file_system::RemoveFile(packagePath);
        return UnpackResult::ArchiveError;
    }
    file_system::RemoveFile(packagePath);
    return UnpackResult::Completed;
}

}  // namespace install
