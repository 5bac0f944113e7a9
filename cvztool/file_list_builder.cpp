#include "cvztool/file_list_builder.h"

#include "archive/archive_reader.h"
#include "framework/file.h"
#include "release/release_signature.h"

using release_signing::SigningError;

namespace file_list_builder {

namespace {

[[noreturn]] void Unreadable(const std::string& what) { throw SigningError(SigningError::unreadablePackage, what); }

uint64_t FileLength(const std::string& path) {
    File file;
    file.Open(path, File::modeRead | File::shareDenyWrite);
    uint64_t length = file.GetLength();
    file.Close();
    return length;
}

}  // namespace

file_list::FileList ListOfPackage(const std::string& packagePath, const std::string& version,
                                  const std::string& scratchFolder, const EntryCheck& check) {
    file_list::FileList list;
    list.version = version;
    if (!release_signature::FileSha256(packagePath, list.packageSha256)) Unreadable(packagePath + " cannot be read");
    list.packageSize = FileLength(packagePath);
    ArchiveReader reader;
    try {
        reader.Open(packagePath.c_str(), ArchiveReader::OpenReadOnly, 0);
        for (int i = 0; i < reader.GetCount(); ++i) {
            ArchiveEntryInfo info;
            reader.GetEntryInfo(i, info);
            file_list::Entry entry;
            entry.name = info.GetFileName();
            entry.folder = info.IsFolder();
            if (check) check(entry.name);
            if (!reader.ExtractFile(i, scratchFolder.c_str())) Unreadable("the installer's reader refuses the entry " + entry.name);
            if (!entry.folder) {
                std::string path = scratchFolder + "\\" + entry.name;
                entry.size = FileLength(path);
                if (!release_signature::FileSha256(path, entry.sha256)) Unreadable(path + " cannot be read");
            }
            list.entries.push_back(entry);
        }
        reader.Close();
    } catch (...) {
        reader.Close(true);
        throw;
    }
    return list;
}

std::string SignedList(const release_signing::PrivateKey& key, const file_list::FileList& list) {
    return file_list::ListText(
        list, release_signing::SignMessage(key, file_list::SignedMessage(file_list::SignedText(list))));
}

}  // namespace file_list_builder
