#include "archive/central_directory.h"

#include <algorithm>
#include <numeric>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "archive/archive_paths.h"
#include "archive/zip_exception.h"

namespace {

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

[[noreturn]] void Corrupt(const ArchiveStorage& storage) {
    CZipException::Raise(CZipException::kCorruptArchive, storage.Path());
}

bool IsRemovableDrive(const std::string& path) {
#if defined(_WIN32)
    if (path.size() >= 2 && path[1] == ':') {
        char root[4] = {path[0], ':', '\\', '\0'};
        return GetDriveTypeA(root) == DRIVE_REMOVABLE;
    }
#endif
    (void)path;
    return false;
}

}  // namespace

CentralDirectory::EndRecord CentralDirectory::ParseEndRecord(const unsigned char* record) {
    EndRecord read;
    read.thisDisk = Le16(record + 4);
    read.directoryDisk = Le16(record + 6);
    read.entriesOnThisDisk = Le16(record + 8);
    read.totalEntries = Le16(record + 10);
    read.directorySize = Le32(record + 12);
    read.directoryOffset = Le32(record + 16);
    read.commentLength = Le16(record + 20);
    return read;
}

void CentralDirectory::Reset() {
    endRecord = EndRecord();
    comment.clear();
    entries.clear();
    facts.clear();
    endRecordPosition = 0;
    bytesBeforeArchive = 0;
    localExtraField.clear();
    currentEntry = nullptr;
    currentIndex = 0;
    directoryRead = false;
}

uint32_t CentralDirectory::FindEndRecord(ArchiveStorage& storage) {
    uint64_t length = storage.file.GetLength();
    uint64_t limit = length < kEndSearchLimit ? length : kEndSearchLimit;
    std::vector<unsigned char> chunk(kSearchChunk);
    // Backwards in chunks that overlap by three bytes, so that a signature lying
    // across a seam is still found; the hit nearest to the end wins.
    uint64_t c = 0;
    for (;;) {
        uint64_t d = c + kSearchChunk < limit ? c + kSearchChunk : limit;
        unsigned size = static_cast<unsigned>(d - c);
        storage.SeekTo(length - d);
        storage.ReadExactly(chunk.data(), size, false);
        for (int64_t offset = static_cast<int64_t>(size) - 4; offset >= 0; --offset) {
            if (Le32(&chunk[static_cast<size_t>(offset)]) == kEndSignature)
                return static_cast<uint32_t>(length - d + static_cast<uint64_t>(offset));
        }
        if (d >= limit) break;
        c = d - 3;
    }
    CZipException::Raise(CZipException::kEndRecordMissing, storage.Path());
}

void CentralDirectory::Read(ArchiveStorage& storage, int openSpanning) {
    endRecordPosition = FindEndRecord(storage);
    storage.SeekTo(endRecordPosition);
    unsigned char record[kEndRecordSize];
    storage.ReadExactly(record, kEndRecordSize, false);
    endRecord = ParseEndRecord(record);

    storage.currentVolume = endRecord.thisDisk;
    storage.lastVolume = endRecord.thisDisk;
    if (endRecord.thisDisk == 0) {
        storage.spanningMode = ArchiveStorage::kSingleFile;
    } else if (openSpanning == ArchiveStorage::kExistingUnknown) {
        storage.spanningMode = IsRemovableDrive(storage.Path()) ? ArchiveStorage::kRemovableDisks
                                                                : ArchiveStorage::kFixedSizeFiles;
    } else {
        storage.spanningMode = ArchiveStorage::kFixedSizeFiles;
    }
    if (storage.spanningMode == ArchiveStorage::kRemovableDisks && !storage.hasVolumeCallback)
        CZipException::Raise(CZipException::kNoVolumeCallback, storage.Path());

    bool singleFile = storage.spanningMode == ArchiveStorage::kSingleFile;
    // Computed wide, so that a hostile offset cannot wrap around.
    uint64_t directoryEnd = static_cast<uint64_t>(endRecord.directoryOffset) + endRecord.directorySize;
    if (singleFile && endRecordPosition < directoryEnd) Corrupt(storage);
    if (endRecord.commentLength != 0) {
        comment.resize(endRecord.commentLength);
        storage.ReadExactly(&comment[0], endRecord.commentLength, false);
    }
    bytesBeforeArchive = singleFile ? static_cast<uint32_t>(endRecordPosition - directoryEnd) : 0;
    if ((endRecord.directorySize == 0) != (endRecord.totalEntries == 0)) Corrupt(storage);

    directoryRead = true;
    storage.ChangeVolume(endRecord.directoryDisk);
    if (endRecord.directorySize != 0) ReadEntries(storage);
    CheckEntryRanges(storage);
}

void CentralDirectory::ReadEntries(ArchiveStorage& storage) {
    storage.SeekTo(static_cast<uint64_t>(endRecord.directoryOffset) + bytesBeforeArchive);
    for (unsigned i = 0; i < endRecord.totalEntries; ++i) {
        entries.push_back(std::unique_ptr<ArchiveEntryInfo>(new ArchiveEntryInfo()));
        facts.push_back(EntryFacts());
        ArchiveEntryInfo& entry = *entries.back();
        int volumeBefore = storage.currentVolume;
        unsigned char header[ArchiveEntryInfo::kFixedSize];
        storage.ReadExactly(header, sizeof(header), true);
        entry.signature = Le32(header);
        entry.versionMadeBy = Le16(header + 4);
        entry.versionNeeded = Le16(header + 6);
        entry.flag = Le16(header + 8);
        entry.method = Le16(header + 10);
        entry.modTime = Le16(header + 12);
        entry.modDate = Le16(header + 14);
        entry.crc32 = Le32(header + 16);
        entry.compressedSize = Le32(header + 20);
        entry.uncompressedSize = Le32(header + 24);
        uint16_t nameLength = Le16(header + 28);
        uint16_t extraLength = Le16(header + 30);
        uint16_t commentLength = Le16(header + 32);
        entry.diskNumberStart = Le16(header + 34);
        entry.internalAttributes = Le16(header + 36);
        entry.externalAttributes = Le32(header + 38);
        entry.localHeaderOffset = Le32(header + 42);
        entry.fileName.resize(nameLength);
        if (nameLength) storage.ReadExactly(&entry.fileName[0], nameLength, true);
        entry.extraField.resize(extraLength);
        if (extraLength) storage.ReadExactly(&entry.extraField[0], extraLength, true);
        entry.comment.resize(commentLength);
        if (commentLength) storage.ReadExactly(&entry.comment[0], commentLength, true);
        if (entry.signature != ArchiveEntryInfo::kSignature || storage.currentVolume != volumeBefore)
            Corrupt(storage);
        facts.back().storedNameLength = nameLength;
        // A name that cannot be converted fails its own entry when it is extracted,
        // not the whole archive.
        if (convertNames)
            facts.back().nameConverted = archive_paths::ConvertStoredName(entry.fileName, entry.HasUtf8Name());
    }
}

void CentralDirectory::CheckEntryRanges(const ArchiveStorage& storage) {
    // Each entry's range, from its local header through its data descriptor, must end
    // before the next one starts and before the directory: otherwise one stretch of
    // the file could be extracted many times over. Here the local extra field and
    // the descriptor's signature are not known yet, so the least possible end is
    // taken; the entry's own read checks the real end against the same limit.
    bool singleFile = storage.spanningMode == ArchiveStorage::kSingleFile;
    auto volumeOf = [&](const ArchiveEntryInfo& e) { return singleFile ? 0 : static_cast<int>(e.diskNumberStart); };
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const ArchiveEntryInfo& x = *entries[a];
        const ArchiveEntryInfo& y = *entries[b];
        if (volumeOf(x) != volumeOf(y)) return volumeOf(x) < volumeOf(y);
        return x.localHeaderOffset < y.localHeaderOffset;
    });
    int directoryVolume = singleFile ? 0 : endRecord.directoryDisk;
    for (size_t k = 0; k < order.size(); ++k) {
        const ArchiveEntryInfo& entry = *entries[order[k]];
        uint64_t limit = UINT64_MAX;
        if (k + 1 < order.size() && volumeOf(*entries[order[k + 1]]) == volumeOf(entry))
            limit = entries[order[k + 1]]->localHeaderOffset;
        else if (volumeOf(entry) == directoryVolume)
            limit = endRecord.directoryOffset;
        uint64_t leastEnd = static_cast<uint64_t>(entry.localHeaderOffset) + kLocalHeaderSize +
                            facts[order[k]].storedNameLength + entry.compressedSize +
                            (entry.HasDataDescriptor() ? kDescriptorSize : 0);
        if (leastEnd > limit) Corrupt(storage);
        facts[order[k]].rangeLimit = limit == UINT64_MAX ? limit : limit + bytesBeforeArchive;
    }
}

uint64_t CentralDirectory::OpenLocalHeader(ArchiveStorage& storage, int index) {
    ArchiveEntryInfo& entry = *entries[static_cast<size_t>(index)];
    const EntryFacts& fact = facts[static_cast<size_t>(index)];
    currentEntry = &entry;
    currentIndex = static_cast<size_t>(index);
    storage.ChangeVolume(entry.diskNumberStart);
    storage.SeekTo(static_cast<uint64_t>(entry.localHeaderOffset) + bytesBeforeArchive);
    unsigned char header[kLocalHeaderSize];
    storage.ReadExactly(header, kLocalHeaderSize, false);
    uint16_t flag = Le16(header + 6);
    uint16_t method = Le16(header + 8);
    uint16_t nameLength = Le16(header + 26);
    uint16_t extraLength = Le16(header + 28);
    bool accepted = Le32(header) == kLocalSignature && flag == entry.flag && method == entry.method &&
                    (method == kMethodStored || method == kMethodDeflated) && nameLength == fact.storedNameLength;
    if (accepted && !entry.HasDataDescriptor())
        accepted = Le32(header + 14) == entry.crc32 && Le32(header + 18) == entry.compressedSize &&
                   Le32(header + 22) == entry.uncompressedSize;
    if (!accepted) Corrupt(storage);
    storage.SeekBy(nameLength);
    localExtraField.resize(extraLength);
    if (extraLength) storage.ReadExactly(&localExtraField[0], extraLength, false);
    uint64_t dataStart = storage.Position();
    // The local extra field is known now: the entry must still end within its range.
    uint64_t leastEnd = dataStart + entry.compressedSize + (entry.HasDataDescriptor() ? kDescriptorSize : 0);
    if (leastEnd > fact.rangeLimit) Corrupt(storage);
    return dataStart;
}

void CentralDirectory::CheckDataDescriptor(ArchiveStorage& storage, uint64_t dataStart) {
    ArchiveEntryInfo* entry = currentEntry;
    if (entry && entry->HasDataDescriptor()) {
        // The descriptor follows the whole compressed data, wherever reading stopped.
        if (storage.spanningMode == ArchiveStorage::kSingleFile) storage.SeekTo(dataStart + entry->compressedSize);
        unsigned char bytes[12];
        storage.ReadExactly(bytes, 4, true);
        if (Le32(bytes) != kDescriptorSignature) storage.SeekBy(-4);
        storage.ReadExactly(bytes, kDescriptorSize, true);
        if (Le32(bytes) != entry->crc32 || Le32(bytes + 4) != entry->compressedSize ||
            Le32(bytes + 8) != entry->uncompressedSize)
            Corrupt(storage);
        if (storage.spanningMode == ArchiveStorage::kSingleFile && storage.Position() > facts[currentIndex].rangeLimit)
            Corrupt(storage);
    }
    currentEntry = nullptr;
}
