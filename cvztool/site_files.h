// Writing into a SITE folder that any static web server serves as it is: where the
// manifest and the packages lie, files placed by a rename so that no reader ever sees
// half of one, and the lock that lets one cvztool command at a time write there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "cvztool/scoped_descriptor.h"
#include "cvztool/site_lock.h"
#include "net/manifest.h"
#include "release/file_list.h"

namespace site_files {

extern const char kFilesFolder[];   // the packages, below SITE
extern const char kUpdateFolder[];  // the manifest's folder, below SITE
extern const char kManifestName[];

// velmora2/update/update.inf, below SITE
std::filesystem::path ManifestInSite();
// SITE/velmora2/update/update.inf
std::filesystem::path ManifestPath(const std::filesystem::path& site);

// The most cvztool reads of a SITE file whole: a manifest as large as the
// installer's largest text answer, and a file list as large as the largest it
// fetches (the same numbers, named once). A package is never read whole
// (SiteFile::Sha256).
constexpr uint64_t kLargestManifestBytes = ::kLargestManifestBytes;
constexpr uint64_t kLargestListBytes = file_list::kLargestListBytes;

// Why a command changed nothing in SITE.
class Refused : public std::runtime_error {
 public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Refuse(const std::string& why);

std::string Quoted(const std::string& text);

// A file this run created under a temporary name: removed unless it was renamed
// into place, so a refused command leaves nothing behind in SITE.
class PendingFile {
 public:
    PendingFile(const std::filesystem::path& folder, const std::string& finalName);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Flushes the bytes to the disk and renames them to `target` in one step: a
    // reader sees the old file or the whole new one, before and after a crash.
    void PlaceAs(const std::filesystem::path& target);

 private:
    std::filesystem::path path_;
    bool placed_ = false;
};

// A regular file below SITE, opened without following a symbolic link, neither the
// file's own nor one of the folders from SITE down to it: whoever else can write
// into a site (an upload, a copy that kept its links) could otherwise make a release
// compare against, and publish over, a file anywhere on the engineer's machine. A
// FIFO or a device is refused rather than waited on or read for ever.
class SiteFile {
 public:
    // SITE/`relative`; nothing when it, or a folder on the way, is not there.
    // Refuses a link, a folder or anything but a regular file at the path, and a
    // folder on the way that is a link or not a folder.
    static std::optional<SiteFile> Open(const std::filesystem::path& site, const std::filesystem::path& relative);

    uint64_t Size() const { return size_; }
    // Every byte; refused when the file holds more than `largest`.
    std::string ReadWhole(uint64_t largest) const;
    // The SHA-256 of every byte (32 raw bytes), read piece by piece; refused when
    // the file has grown since it was opened.
    std::string Sha256() const;

 private:
    // Calls `take(bytes, length)` for each piece of the file, from its start to its
    // end; refused when it holds more than `most` bytes.
    template <typename TakePiece>
    void ReadPieces(uint64_t most, TakePiece take) const;

    SiteFile(ScopedDescriptor file, std::string shown, uint64_t size)
        : file_(std::move(file)), shown_(std::move(shown)), size_(size) {}

    ScopedDescriptor file_;
    std::string shown_;  // the path, for messages
    uint64_t size_;
};

// SiteFile::Open(site, relative)->ReadWhole(largest); nothing when there is no such file.
std::optional<std::string> ReadSiteFile(const std::filesystem::path& site, const std::filesystem::path& relative,
                                        uint64_t largest);

// Creates the folder SITE/`relative` and those above it below SITE where they are
// missing, following no link below SITE: a folder that is a link is refused.
void MakeSiteFolder(const std::filesystem::path& site, const std::filesystem::path& relative);

// Creates `path`, which must not exist, with `bytes`.
void WriteNewFile(const std::filesystem::path& path, const std::string& bytes);

// SITE's lock, taken without waiting; refused when another command holds it.
site_lock::SiteLock LockSite(const std::filesystem::path& site);

}  // namespace site_files
