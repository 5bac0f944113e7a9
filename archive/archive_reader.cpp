#include "archive/archive_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "archive/archive_paths.h"
#include "framework/file.h"

ArchiveReader::ArchiveReader() { std::memset(&stream_, 0, sizeof(stream_)); }

ArchiveReader::~ArchiveReader() { Close(true); }

voidpf ArchiveReader::Allocate(voidpf context, uInt items, uInt size) {
    void* block = std::calloc(items, size);
    if (block && context) static_cast<ArchiveReader*>(context)->zlibBlocks_.push_back(block);
    return block;
}

void ArchiveReader::Free(voidpf context, voidpf block) {
    if (context) {
        std::vector<void*>& blocks = static_cast<ArchiveReader*>(context)->zlibBlocks_;
        auto it = std::find(blocks.begin(), blocks.end(), block);
        if (it != blocks.end()) blocks.erase(it);
    }
    std::free(block);
}

void ArchiveReader::Open(const char* path, int mode, int volumeSize) {
    if (!storage_.IsClosed()) return;
    password_.clear();
    entryState_ = EntryState::Idle;
    directory_.Reset();
    if (mode != OpenExisting && mode != OpenReadOnly)
        throw CZipException(CZipException::ZipCauseGeneric, path ? path : "");
    unsigned flags = (mode == OpenExisting ? File::modeReadWrite : File::modeRead) | File::modeNoTruncate |
                     File::shareDenyWrite;
    storage_.Open(path ? path : "", flags,
                  volumeSize != 0 ? ArchiveStorage::kExistingFixedSize : ArchiveStorage::kExistingUnknown);
    directory_.Read(storage_, storage_.spanningMode);
}

void ArchiveReader::Open(File&& opened) {
    if (!storage_.IsClosed()) return;
    password_.clear();
    entryState_ = EntryState::Idle;
    directory_.Reset();
    storage_.Adopt(std::move(opened));
    directory_.Read(storage_, ArchiveStorage::kExistingUnknown);
}

int ArchiveReader::GetCount() const { return static_cast<int>(directory_.entries.size()); }

bool ArchiveReader::GetEntryInfo(int index, ArchiveEntryInfo& info) const {
    if (storage_.IsClosed() || index < 0 || index >= GetCount()) return false;
    info = *directory_.entries[static_cast<size_t>(index)];
    if (!directory_.convertNames) archive_paths::ConvertStoredName(info.fileName, info.HasUtf8Name());
    return true;
}

bool ArchiveReader::GetEntryExtent(int index, uint64_t& begin, uint64_t& end) const {
    if (storage_.IsClosed() || index < 0 || index >= GetCount()) return false;
    begin = static_cast<uint64_t>(directory_.entries[static_cast<size_t>(index)]->localHeaderOffset) +
            directory_.bytesBeforeArchive;
    end = directory_.Facts(index).rangeLimit;
    return begin < end;
}

void ArchiveReader::CheckZlib(int result) {
    if (result != Z_OK && result != Z_NEED_DICT) CZipException::Raise(result, ArchivePath());
}

bool ArchiveReader::StoredSizesAgree(const ArchiveEntryInfo& entry) {
    uint32_t header = entry.IsEncrypted() ? ArchiveEntryInfo::kEncryptionHeaderSize : 0;
    return entry.compressedSize >= header && entry.compressedSize - header == entry.uncompressedSize;
}

bool ArchiveReader::OpenEntry(int index) {
    if (index < 0 || index >= GetCount() || entryState_ != EntryState::Idle) return false;
    readBuffer_.resize(kReadBufferSize);
    dataStart_ = directory_.OpenLocalHeader(storage_, index);
    const ArchiveEntryInfo& entry = *directory_.currentEntry;
    compressedLeft_ = entry.compressedSize;
    cipher_.reset();
    if (entry.IsEncrypted() && password_.empty()) {
        directory_.currentEntry = nullptr;
        return false;
    }
    if (entry.method == kMethodStored && !StoredSizesAgree(entry)) {
        // Stored data is its own output: sizes that disagree can only come from a
        // damaged or crafted header, and reading by either of them would leave bytes
        // unaccounted for. Refused before a file is created, as bad data is.
        directory_.currentEntry = nullptr;
        CZipException::Raise(CZipException::kCrcMismatch, ArchivePath());
    }
    if (entry.IsEncrypted()) {
        if (compressedLeft_ < ArchiveEntryInfo::kEncryptionHeaderSize)
            CZipException::Raise(CZipException::kCorruptArchive, ArchivePath());
        cipher_.reset(new PkwareCipher(password_));
        unsigned char header[ArchiveEntryInfo::kEncryptionHeaderSize];
        storage_.ReadExactly(header, sizeof(header), true);
        cipher_->Decrypt(header, sizeof(header));
        unsigned char expected = entry.HasDataDescriptor() ? static_cast<unsigned char>(entry.modTime >> 8)
                                                           : static_cast<unsigned char>(entry.crc32 >> 24);
        if (header[sizeof(header) - 1] != expected) CZipException::Raise(CZipException::kBadPassword, ArchivePath());
        compressedLeft_ -= ArchiveEntryInfo::kEncryptionHeaderSize;
    }
    std::memset(&stream_, 0, sizeof(stream_));
    if (entry.method == kMethodDeflated) {
        stream_.zalloc = Allocate;
        stream_.zfree = Free;
        stream_.opaque = trackAllocations_ ? this : nullptr;
        CheckZlib(inflateInit2(&stream_, -MAX_WBITS));
        streamInitialised_ = true;
    } else if (entry.method != kMethodStored) {
        CZipException::Raise(CZipException::kCorruptArchive, ArchivePath());
    }
    uncompressedLeft_ = entry.uncompressedSize;
    crc_ = 0;
    entryState_ = EntryState::Reading;
    return true;
}

unsigned ArchiveReader::ReadEntryData(void* buffer, unsigned length) {
    if (entryState_ != EntryState::Reading || !buffer || length == 0) return 0;
    const ArchiveEntryInfo& entry = *directory_.currentEntry;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned space = std::min<uint32_t>(length, uncompressedLeft_);
    bool force = space == 0 && compressedLeft_ > 0;
    unsigned produced = 0;
    stream_.next_out = out;
    stream_.avail_out = space;
    while (stream_.avail_out > 0 || (force && compressedLeft_ > 0)) {
        bool refilled = false;
        if (stream_.avail_in == 0 && compressedLeft_ > 0) {
            unsigned chunk = std::min<uint32_t>(compressedLeft_, kReadBufferSize);
            storage_.ReadExactly(readBuffer_.data(), chunk, true);
            if (cipher_) cipher_->Decrypt(readBuffer_.data(), chunk);
            compressedLeft_ -= chunk;
            stream_.next_in = readBuffer_.data();
            stream_.avail_in = chunk;
            refilled = true;
        }
        uInt inputBefore = stream_.avail_in;
        uInt spaceBefore = stream_.avail_out;
        if (entry.method == kMethodDeflated) {
            uLong before = stream_.total_out;
            unsigned char* start = stream_.next_out;
            int result = inflate(&stream_, Z_SYNC_FLUSH);
            unsigned made = static_cast<unsigned>(stream_.total_out - before);
            crc_ = static_cast<uint32_t>(crc32(crc_, start, made));
            uncompressedLeft_ -= made;
            produced += made;
            if (result == Z_STREAM_END) break;
            CheckZlib(result);
        } else {
            unsigned copy = std::min(stream_.avail_out, stream_.avail_in);
            std::memcpy(stream_.next_out, stream_.next_in, copy);
            crc_ = static_cast<uint32_t>(crc32(crc_, stream_.next_out, copy));
            stream_.next_out += copy;
            stream_.avail_out -= copy;
            stream_.next_in += copy;
            stream_.avail_in -= copy;
            uncompressedLeft_ -= copy;
            produced += copy;
            if (stream_.avail_in == 0 && compressedLeft_ == 0) break;
        }
        // A pass that neither read, consumed nor produced anything would be repeated
        // for ever; what is missing shows when the entry is closed.
        if (!refilled && stream_.avail_in == inputBefore && stream_.avail_out == spaceBefore) break;
    }
    return produced;
}

void ArchiveReader::ReleaseEntryState() {
    // Whatever zlib still holds (an entry abandoned after an error) goes here; the
    // stream itself is then unusable and is forgotten.
    for (void* block : zlibBlocks_) std::free(block);
    zlibBlocks_.clear();
    streamInitialised_ = false;
    std::memset(&stream_, 0, sizeof(stream_));
    std::vector<unsigned char>().swap(readBuffer_);
    cipher_.reset();
    entryState_ = EntryState::Idle;
}

ArchiveReader::EntryEnd ArchiveReader::CloseEntry(const char* path, bool afterException) {
    if (entryState_ != EntryState::Reading) return EntryEnd::NotOpen;
    EntryEnd result = EntryEnd::Whole;
    if (!afterException) {
        if (uncompressedLeft_ > 0)
            result = EntryEnd::DataMissing;
        else if (crc_ != directory_.currentEntry->crc32)
            CZipException::Raise(CZipException::kCrcMismatch, ArchivePath());
        if (streamInitialised_) {
            inflateEnd(&stream_);
            streamInitialised_ = false;
        }
        if (path) {
            const ArchiveEntryInfo& entry = *directory_.currentEntry;
            if (!file_system::SetTimesFromDos(path, entry.modDate, entry.modTime)) {
                // The data is whole; only its time could not be set. The entry is
                // reset all the same, so that later entries can still be extracted.
                directory_.CheckDataDescriptor(storage_, dataStart_);
                ReleaseEntryState();
                return EntryEnd::TimesNotSet;
            }
            if (takeAttributes_ && !file_system::SetAttributes(path, entry.externalAttributes))
                result = EntryEnd::AttributesNotSet;
        }
    }
    directory_.CheckDataDescriptor(storage_, dataStart_);
    ReleaseEntryState();
    return result;
}

std::string ArchiveReader::NameUnderTarget(const std::string& name, bool fullPath,
                                           archive_paths::NameEncoding encoding) {
    archive_paths::PathParts parts = archive_paths::SplitPath(name, encoding);
    std::string relative;
    if (fullPath) {
        size_t skip = parts.directory.find_first_not_of("\\/");
        relative = skip == std::string::npos ? std::string() : parts.directory.substr(skip);
    }
    return relative + parts.fileName + parts.extension;
}

bool ArchiveReader::HasFileName(const std::string& relative, archive_paths::NameEncoding encoding) {
    // "", "." or "x/." would name a folder, and opening it as a file would end the
    // whole extraction with a file error.
    archive_paths::PathParts parts = archive_paths::SplitPath(relative, encoding);
    std::string leaf = parts.fileName + parts.extension;
    return !leaf.empty() && leaf != ".";
}

bool ArchiveReader::UsableNameUnderTarget(int index, const std::string& name, bool fullPath,
                                          archive_paths::NameEncoding encoding, bool storedName,
                                          std::string& relative) const {
    // A zero byte anywhere, even in a folder part that is dropped, marks a crafted name.
    if (name.find('\0') != std::string::npos) return false;
    relative = NameUnderTarget(name, fullPath, encoding);
    // Stored names are untrusted: nothing may be written outside the target folder,
    // to a device, or under a name the file system would take differently.
    if (storedName && !directory_.Facts(index).nameConverted) return false;
    return archive_paths::CheckName(relative, encoding) == archive_paths::NameRefusal::None;
}

bool ArchiveReader::ExtractFile(int index, const char* targetFolder, bool fullPath, const char* newName,
                                ProgressCallback callback, void* userData, unsigned bufferSize) {
    if (bufferSize == 0 || !targetFolder) return false;
    ArchiveEntryInfo info;
    if (!GetEntryInfo(index, info)) return false;

    std::string folder = archive_paths::StripTrailingSeparators(targetFolder);
    std::string name = newName ? std::string(newName) : info.GetFileName();
    archive_paths::NameEncoding encoding = newName ? archive_paths::NameEncoding::SystemCodePage
                                                   : archive_paths::HeldEncoding(info.HasUtf8Name());
    std::string namePart;
    if (!UsableNameUnderTarget(index, name, fullPath, encoding, newName == nullptr, namePart)) return false;
    std::string targetPath = folder + "\\" + namePart;
    if (targetPath.size() > file_system::MaxPathLength()) return false;

    if (info.IsFolder()) {
        // A folder that resolves to the target itself ("./", or nothing left without
        // full paths) has nothing to create, and the target's attributes are not the
        // package's to change.
        if (archive_paths::IsOnlyCurrentFolder(namePart)) return true;
        archive_paths::CreateFolderChain(targetPath, encoding);
        if (takeAttributes_) file_system::SetAttributes(targetPath, info.externalAttributes);
        return true;
    }
    if (!HasFileName(namePart, encoding) || !OpenEntry(index)) return false;
    archive_paths::PathParts target = archive_paths::SplitPath(targetPath, encoding);
    archive_paths::CreateFolderChain(target.drive + target.directory, encoding);

    File file;
    file.Open(targetPath, File::modeCreate | File::modeWrite | File::shareDenyWrite);
    EntryEnd result = EntryEnd::NotOpen;
    try {
        std::vector<unsigned char> buffer(bufferSize);
        unsigned total = callback ? info.HeaderSize() : 0;
        unsigned done = 0;
        unsigned n;
        do {
            n = ReadEntryData(buffer.data(), bufferSize);
            if (n) {
                file.Write(buffer.data(), n);
                done += n;
                if (callback && !callback(total, done, userData)) break;
            }
        } while (n == bufferSize);
        file.Close();
        result = CloseEntry(targetPath.c_str(), false);
    } catch (...) {
        // A file whose data failed its checks must not stay where it would be run.
        file.Abort();
        file_system::RemoveFile(targetPath);
        throw;
    }
    if (result == EntryEnd::DataMissing) file_system::RemoveFile(targetPath);
    return result == EntryEnd::Whole;
}

bool ArchiveReader::TestFile(int index, unsigned bufferSize) {
    ArchiveEntryInfo info;
    if (bufferSize == 0 || !GetEntryInfo(index, info)) return false;
    // An entry that extraction would refuse fails its test as well.
    archive_paths::NameEncoding encoding = archive_paths::HeldEncoding(info.HasUtf8Name());
    std::string relative;
    if (!UsableNameUnderTarget(index, info.GetFileName(), true, encoding, true, relative)) return false;
    if (info.IsFolder()) return true;
    if (!HasFileName(relative, encoding)) return false;
    if (!OpenEntry(index)) return false;
    std::vector<unsigned char> buffer(bufferSize);
    while (ReadEntryData(buffer.data(), bufferSize) == bufferSize) {
    }
    return CloseEntry(nullptr, false) == EntryEnd::Whole;
}

void ArchiveReader::Close(bool afterException) {
    if (afterException) {
        ReleaseEntryState();
        directory_.Reset();
        storage_.Close(true);
        return;
    }
    if (storage_.IsClosed()) return;
    if (entryState_ == EntryState::Reading) CloseEntry(nullptr, false);
    directory_.Reset();
    storage_.Close(false);
}
