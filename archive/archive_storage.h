// The archive file underneath the reader, with the volume bookkeeping of archives
// split over several files or disks.
#pragma once

#include <cstdint>
#include <string>

#include "framework/file.h"

class ArchiveStorage {
 public:
    enum SpanningMode {
        kSingleFile = 0,
        kRemovableDisks = 1,
        kFixedSizeFiles = 2,
        kExistingUnknown = 3,
        kExistingFixedSize = 4,
    };

    void Open(const std::string& path, unsigned flags, int spanning);
    // A single-file archive through a file already open.
    void Adopt(File&& opened);
    void Close(bool afterException);
    bool IsClosed() const { return currentVolume == -1; }

    // Reads exactly `count` bytes or raises a corrupt-archive error. With
    // `mayCrossVolume`, a read that hits the end of a volume continues on the next.
    void ReadExactly(void* buffer, unsigned count, bool mayCrossVolume);
    // Reads up to `count` bytes, continuing onto later volumes of a split archive.
    unsigned Read(void* buffer, unsigned count);
    void SeekTo(uint64_t position) { file.Seek(static_cast<int64_t>(position), File::begin); }
    void SeekBy(int64_t offset) { file.Seek(offset, File::current); }
    uint64_t Position() { return file.GetPosition(); }
    // Makes `volume` the current one (a no-op for a single-file archive).
    void ChangeVolume(int volume);
    const std::string& Path() const { return archivePath; }

    File file;
    std::string archivePath;
    int currentVolume = -1;
    int lastVolume = 0;
    int spanningMode = kSingleFile;
    bool hasVolumeCallback = false;

 private:
    std::string VolumePath(int volume) const;
};
