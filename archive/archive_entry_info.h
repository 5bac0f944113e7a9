// One entry of the central directory as it is held in memory.
#pragma once

#include <cstdint>
#include <string>

struct ArchiveEntryInfo {
    static constexpr uint32_t kSignature = 0x02014B50;
    static constexpr unsigned kFixedSize = 46;

    uint32_t signature = kSignature;
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flag = 0;  // bit 0 encrypted, bit 3 sizes and CRC in a data descriptor
    uint16_t method = 8;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0x20;  // the archive attribute
    uint32_t localHeaderOffset = 0;
    std::string extraField;
    std::string fileName;  // ANSI code page, backslash separators once read
    std::string comment;

    bool IsEncrypted() const { return (flag & 1) != 0; }
    bool HasDataDescriptor() const { return (flag & 8) != 0; }
    bool IsFolder() const { return (externalAttributes & 0x10) != 0; }
    // The header's stored size: the fixed part and the three variable fields.
    unsigned HeaderSize() const {
        return kFixedSize + static_cast<unsigned>(fileName.size() + extraField.size() + comment.size());
    }
    std::string GetFileName() const { return fileName; }
};
