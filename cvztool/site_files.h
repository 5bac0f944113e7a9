// Writing into a SITE folder that any static web server serves as it is: where the
// manifest and the packages lie, files placed by a rename so that no reader ever sees
// half of one, and the lock that lets one cvztool command at a time write there.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "cvztool/site_lock.h"

namespace site_files {

extern const char kFilesFolder[];   // the packages, below SITE
extern const char kUpdateFolder[];  // the manifest's folder, below SITE
extern const char kManifestName[];

// SITE/velmora2/update/update.inf
std::filesystem::path ManifestPath(const std::filesystem::path& site);

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

std::string ReadWhole(const std::filesystem::path& path);

// Creates `path`, which must not exist, with `bytes`.
void WriteNewFile(const std::filesystem::path& path, const std::string& bytes);

// SITE's lock, taken without waiting; refused when another command holds it.
site_lock::SiteLock LockSite(const std::filesystem::path& site);

}  // namespace site_files
