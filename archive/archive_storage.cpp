#include "archive/archive_storage.h"

#include "archive/zip_exception.h"
#include "framework/text.h"

void ArchiveStorage::Open(const std::string& path, unsigned flags, int spanning) {
    archivePath = path;
    file.Open(path, flags);
    spanningMode = spanning;
    currentVolume = -1;
}

void ArchiveStorage::Adopt(File&& opened) {
    archivePath = opened.GetFilePath();
    file = std::move(opened);
    spanningMode = kSingleFile;
    currentVolume = -1;
}

void ArchiveStorage::Close(bool afterException) {
    if (afterException)
        file.Abort();
    else
        file.Close();
    currentVolume = -1;
}

std::string ArchiveStorage::VolumePath(int volume) const {
    // Split archives in numbered files: every volume but the last is named with its
    // number (counted from 1) as the extension; the last keeps the archive's name.
    if (volume == lastVolume) return archivePath;
    size_t dot = archivePath.rfind('.');
    size_t slash = archivePath.find_last_of("\\/");
    std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                           ? archivePath.substr(0, dot)
                           : archivePath;
    return stem + text::Format(".%.3d", volume + 1);
}

void ArchiveStorage::ChangeVolume(int volume) {
    if (spanningMode == kSingleFile || volume == currentVolume) return;
    if (spanningMode == kRemovableDisks && !hasVolumeCallback)
        CZipException::Raise(CZipException::kNoVolumeCallback, archivePath);
    std::string path = VolumePath(volume);
    file.Open(path, File::modeRead | File::shareDenyWrite);
    currentVolume = volume;
}

unsigned ArchiveStorage::Read(void* buffer, unsigned count) {
    unsigned total = file.Read(buffer, count);
    while (total < count && spanningMode != kSingleFile && currentVolume < lastVolume) {
        ChangeVolume(currentVolume + 1);
        total += file.Read(static_cast<char*>(buffer) + total, count - total);
    }
    return total;
}

void ArchiveStorage::ReadExactly(void* buffer, unsigned count, bool mayCrossVolume) {
    unsigned got = mayCrossVolume ? Read(buffer, count) : file.Read(buffer, count);
    if (got != count) CZipException::Raise(CZipException::kCorruptArchive, archivePath);
}
