// Reads a PKZIP archive (the ".cvz" package) and extracts its entries: stored or
// deflated data through zlib, CRC-32 and length checks, folders, times and
// attributes. Format errors raise CZipException, file errors FileException; after
// either, Close(true) resets the reader.
//
// The archive comes over plain HTTP and is untrusted: names that climb out of the
// target folder are refused, paths longer than the platform allows fail their entry,
// and a file whose data fails a check does not stay on disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/archive_entry_info.h"
#include "archive/archive_paths.h"
#include "archive/archive_storage.h"
#include "archive/central_directory.h"
#include "archive/pkware_cipher.h"
#include "archive/zip_exception.h"

// Told the total and the bytes written so far; false stops the copy.
typedef bool (*ProgressCallback)(unsigned total, unsigned doneSoFar, void* userData);

class ArchiveReader {
 public:
    enum OpenMode { OpenExisting = 0, OpenReadOnly = 1, Create = 2, CreateSpanned = 3 };
    static constexpr unsigned kReadBufferSize = 16384;

    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Only the reading modes are provided. A non-zero volumeSize declares a split
    // archive to be made of fixed-size files.
    void Open(const char* path, int mode, int volumeSize);
    // Reads a single-file archive through `opened`, a file open for reading: the
    // bytes read are those of that handle, whatever becomes of the name.
    void Open(File&& opened);
    void Close(bool afterException = false);
    int GetCount() const;
    bool GetEntryInfo(int index, ArchiveEntryInfo& info) const;
    bool ExtractFile(int index, const char* targetFolder, bool fullPath = true, const char* newName = nullptr,
                     ProgressCallback callback = nullptr, void* userData = nullptr, unsigned bufferSize = 65535);
    // Reads and checks an entry's data without writing it anywhere.
    bool TestFile(int index, unsigned bufferSize = 65535);
    // Where entry `index` lies in the archive file: from its local header to where
    // its range must end (the next entry's header, or the directory). False for an
    // index out of range. Lets a caller fetch an entry's bytes alone.
    bool GetEntryExtent(int index, uint64_t& begin, uint64_t& end) const;

    void SetPassword(const std::string& password) { password_ = password; }
    // Whether extraction gives files and folders the attributes the archive names
    // (the default), or leaves them plain: an archive whose directory nobody has
    // verified must not make a file read-only, hidden or system.
    void TakeAttributes(bool take) { takeAttributes_ = take; }
    bool IsClosed() const { return storage_.IsClosed(); }

 private:
    // Whether an entry is open, as the reader moves between extractions.
    enum class EntryState {
        Idle,     // no entry open: the next one may be opened
        Reading,  // local header checked, data being read: the counts, CRC and stream are live
    };

    // How closing an entry ended.
    enum class EntryEnd {
        NotOpen,           // no entry was open for reading
        Whole,             // every byte read, the CRC right, times and attributes set
        DataMissing,       // fewer bytes than recorded: the stream ended early or the copy was stopped
        TimesNotSet,       // the data is whole but the file's times could not be set
        AttributesNotSet,  // the data is whole but the file's attributes could not be set
    };

    // The part of a name put under the target folder: no drive, no leading
    // separators, and no folders unless `fullPath`.
    static std::string NameUnderTarget(const std::string& name, bool fullPath, archive_paths::NameEncoding encoding);
    static bool HasFileName(const std::string& relative, archive_paths::NameEncoding encoding);
    // Sets `relative` to the part of `name` that entry `index` is written to under
    // the target folder (NameUnderTarget); false when the name may not be written.
    bool UsableNameUnderTarget(int index, const std::string& name, bool fullPath,
                               archive_paths::NameEncoding encoding, bool storedName, std::string& relative) const;
    static bool StoredSizesAgree(const ArchiveEntryInfo& entry);
    bool OpenEntry(int index);
    unsigned ReadEntryData(void* buffer, unsigned length);
    EntryEnd CloseEntry(const char* path, bool afterException);
    void CheckZlib(int result);
    void ReleaseEntryState();
    std::string ArchivePath() const { return storage_.IsClosed() ? std::string() : storage_.Path(); }

    static voidpf Allocate(voidpf context, uInt items, uInt size);
    static void Free(voidpf context, voidpf block);

    std::string password_;
    z_stream stream_;
    bool streamInitialised_ = false;
    std::vector<unsigned char> readBuffer_;
    uint32_t compressedLeft_ = 0;
    uint32_t uncompressedLeft_ = 0;
    uint32_t crc_ = 0;
    uint64_t dataStart_ = 0;
    std::unique_ptr<PkwareCipher> cipher_;
    std::vector<void*> zlibBlocks_;
    bool trackAllocations_ = true;
    bool takeAttributes_ = true;
    EntryState entryState_ = EntryState::Idle;
    ArchiveStorage storage_;
    CentralDirectory directory_;
};
