// The end of central directory record and the central directory of an archive,
// read into memory at open, and the checks of an entry's local header and data
// descriptor against it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_entry_info.h"
#include "archive/archive_storage.h"

class CentralDirectory {
 public:
    static constexpr uint32_t kEndSignature = 0x06054B50;
    static constexpr uint32_t kLocalSignature = 0x04034B50;
    static constexpr uint32_t kDescriptorSignature = 0x08074B50;
    static constexpr unsigned kEndRecordSize = 22;
    static constexpr unsigned kLocalHeaderSize = 30;
    // crc-32 and the two sizes; a signature may come before them.
    static constexpr unsigned kDescriptorSize = 12;
    // The record and the longest comment it can carry.
    static constexpr unsigned kEndSearchLimit = kEndRecordSize + 65535;
    static constexpr unsigned kSearchChunk = 32768;

    struct EndRecord {
        uint16_t thisDisk = 0;
        uint16_t directoryDisk = 0;
        uint16_t entriesOnThisDisk = 0;
        uint16_t totalEntries = 0;
        uint32_t directorySize = 0;
        uint32_t directoryOffset = 0;
        uint16_t commentLength = 0;
    };

    // What reading the directory found out about each entry, beside its record.
    struct EntryFacts {
        uint16_t storedNameLength = 0;  // before conversion, as the local header must repeat it
        bool nameConverted = true;      // false: a UTF-8 name this system cannot take
        // Where the entry's range must end: the next entry's local header, or the
        // directory (as file positions); the largest value when nothing follows on
        // the same volume.
        uint64_t rangeLimit = UINT64_MAX;
    };

    // The fields of an end record, from its kEndRecordSize bytes (signature first):
    // the one reading of the record, for the reader and for an update that fetches
    // the directory by itself.
    static EndRecord ParseEndRecord(const unsigned char* record);

    void Reset();
    // Finds and reads the end record, then the directory; raises on any mismatch.
    void Read(ArchiveStorage& storage, int openSpanning);
    // Positions the storage at the data of entry `index` after checking its local
    // header; returns that position.
    uint64_t OpenLocalHeader(ArchiveStorage& storage, int index);
    // For an entry with a data descriptor, checks it against the central header; the
    // descriptor stands at the entry's data start plus its compressed size.
    void CheckDataDescriptor(ArchiveStorage& storage, uint64_t dataStart);
    const EntryFacts& Facts(int index) const { return facts[static_cast<size_t>(index)]; }

    EndRecord endRecord;
    std::string comment;
    std::vector<std::unique_ptr<ArchiveEntryInfo>> entries;
    std::vector<EntryFacts> facts;
    uint32_t endRecordPosition = 0;
    uint32_t bytesBeforeArchive = 0;
    std::string localExtraField;
    ArchiveEntryInfo* currentEntry = nullptr;
    size_t currentIndex = 0;
    bool directoryRead = false;
    bool convertNames = true;

 private:
    uint32_t FindEndRecord(ArchiveStorage& storage);
    void ReadEntries(ArchiveStorage& storage);
    void CheckEntryRanges(const ArchiveStorage& storage);
};
