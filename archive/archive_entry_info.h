// One entry of the central directory as it is held in memory.
#pragma once

#include <cstdint>
#include <string>

// The compression methods the reader takes; any other one is a corrupt archive.
enum CompressionMethod : uint16_t {
    kMethodStored = 0,
    kMethodDeflated = 8,
};

struct ArchiveEntryInfo {
    static constexpr uint32_t kSignature = 0x02014B50;
    static constexpr unsigned kFixedSize = 46;

    // General purpose bit flag.
    static constexpr uint16_t kFlagEncrypted = 0x0001;
    static constexpr uint16_t kFlagDataDescriptor = 0x0008;  // sizes and CRC follow the data
    static constexpr uint16_t kFlagUtf8Name = 0x0800;
    // The MS-DOS attributes in the low byte of the external attributes.
    static constexpr uint32_t kAttributeReadOnly = 0x01;
    static constexpr uint32_t kAttributeDirectory = 0x10;
    static constexpr uint32_t kAttributeArchive = 0x20;
    // The traditional PKWARE encryption header in front of an encrypted entry's data.
    static constexpr uint32_t kEncryptionHeaderSize = 12;

    uint32_t signature = kSignature;
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flag = 0;
    uint16_t method = kMethodDeflated;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = kAttributeArchive;
    uint32_t localHeaderOffset = 0;
    std::string extraField;
    std::string fileName;  // ANSI code page, backslash separators once read
    std::string comment;

    bool IsEncrypted() const { return (flag & kFlagEncrypted) != 0; }
    bool HasDataDescriptor() const { return (flag & kFlagDataDescriptor) != 0; }
    bool HasUtf8Name() const { return (flag & kFlagUtf8Name) != 0; }
    // Several writers store folders by a name ending with a separator alone.
    bool IsFolder() const {
        return (externalAttributes & kAttributeDirectory) != 0 ||
               (!fileName.empty() && (fileName.back() == '\\' || fileName.back() == '/'));
    }
    // The header's stored size: the fixed part and the three variable fields.
    unsigned HeaderSize() const {
        return kFixedSize + static_cast<unsigned>(fileName.size() + extraField.size() + comment.size());
    }
    std::string GetFileName() const { return fileName; }
};
