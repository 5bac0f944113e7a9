#include "cvztool/site_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "framework/text.h"
#include "release/gcrypt_owners.h"
#include "release/release_key.h"

namespace fs = std::filesystem;

namespace site_files {

const char kFilesFolder[] = "velmora2/files";
const char kUpdateFolder[] = "velmora2/update";
const char kManifestName[] = "update.inf";

namespace {

constexpr size_t kReadPiece = 64 * 1024;

// Why `name` in the folder `folder` could not be opened as what was asked for.
[[noreturn]] void RefuseOpening(int folder, const fs::path& name, const fs::path& shown, int error,
                                bool wantedFolder) {
    struct stat found;
    if (::fstatat(folder, name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(found.st_mode))
            Refuse(Quoted(shown.string()) + " is a symbolic link, which cvztool does not follow inside a site");
        if (wantedFolder && !S_ISDIR(found.st_mode)) Refuse(Quoted(shown.string()) + " is not a folder");
    }
    Refuse(Quoted(shown.string()) + " cannot be opened: " + std::strerror(error));
}

// The folder SITE/`relative`, each folder below SITE opened without following a
// link and created first when `create`; no descriptor when one is missing.
ScopedDescriptor OpenSiteFolder(const fs::path& site, const fs::path& relative, bool create) {
    ScopedDescriptor folder(::open(site.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        if (errno == ENOENT && !create) return ScopedDescriptor();
        Refuse(Quoted(site.string()) + " cannot be opened: " + std::strerror(errno));
    }
    fs::path shown = site;
    for (const fs::path& part : relative) {
        shown /= part;
        if (part == "." || part == "..") Refuse(Quoted(shown.string()) + " is not a name inside the site");
        if (create && ::mkdirat(folder.Get(), part.c_str(), 0777) != 0 && errno != EEXIST)
            Refuse(Quoted(shown.string()) + " cannot be created: " + std::strerror(errno));
        ScopedDescriptor next(::openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            int error = errno;
            if (error == ENOENT && !create) return ScopedDescriptor();
            RefuseOpening(folder.Get(), part, shown, error, true);
        }
        folder = std::move(next);
    }
    return folder;
}

void SyncPath(const fs::path& path, int flags) {
    int fd = ::open(path.c_str(), flags);
    bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) Refuse(Quoted(path.string()) + " cannot be flushed to disk: " + std::strerror(errno));
}

}  // namespace

fs::path ManifestInSite() { return fs::path(kUpdateFolder) / kManifestName; }

fs::path ManifestPath(const fs::path& site) { return site / ManifestInSite(); }

void Refuse(const std::string& why) { throw Refused(why); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

PendingFile::PendingFile(const fs::path& folder, const std::string& finalName) {
    std::random_device random;
    path_ = folder / text::Format(".%s.%ld.%08x", finalName.c_str(), static_cast<long>(getpid()), random());
}

PendingFile::~PendingFile() {
    if (!placed_) ::unlink(path_.c_str());
}

void PendingFile::PlaceAs(const fs::path& target) {
    SyncPath(path_, O_RDONLY);
    if (::rename(path_.c_str(), target.c_str()) != 0)
        Refuse(Quoted(target.string()) + " cannot be written: " + std::strerror(errno));
    placed_ = true;
    SyncPath(target.parent_path(), O_RDONLY | O_DIRECTORY);
}

std::optional<SiteFile> SiteFile::Open(const fs::path& site, const fs::path& relative) {
    ScopedDescriptor folder = OpenSiteFolder(site, relative.parent_path(), false);
    if (!folder) return std::nullopt;
    fs::path shown = site / relative;
    // Not blocking: opening a FIFO for reading would wait for a writer.
    ScopedDescriptor file(
        ::openat(folder.Get(), relative.filename().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file) {
        int error = errno;
        if (error == ENOENT) return std::nullopt;
        RefuseOpening(folder.Get(), relative.filename(), shown, error, false);
    }
    struct stat opened;
    if (::fstat(file.Get(), &opened) != 0) Refuse(Quoted(shown.string()) + " cannot be read: " + std::strerror(errno));
    if (!S_ISREG(opened.st_mode)) Refuse(Quoted(shown.string()) + " is not a regular file");
    return SiteFile(std::move(file), shown.string(), static_cast<uint64_t>(opened.st_size));
}

template <typename TakePiece>
void SiteFile::ReadPieces(uint64_t most, TakePiece take) const {
    auto refuseLarger = [&] {
        Refuse(text::Format("%s holds more than the %llu bytes that cvztool reads of it", Quoted(shown_).c_str(),
                            static_cast<unsigned long long>(most)));
    };
    if (size_ > most) refuseLarger();
    std::vector<char> piece(kReadPiece);
    // Counted as read too: the file may grow meanwhile.
    for (uint64_t done = 0;;) {
        ssize_t got = ::pread(file_.Get(), piece.data(), piece.size(), static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Refuse(Quoted(shown_) + " cannot be read: " + std::strerror(errno));
        if (got == 0) return;
        done += static_cast<uint64_t>(got);
        if (done > most) refuseLarger();
        take(piece.data(), static_cast<size_t>(got));
    }
}

std::string SiteFile::ReadWhole(uint64_t largest) const {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(std::min(size_, largest)));
    ReadPieces(largest, [&](const char* piece, size_t length) { bytes.append(piece, length); });
    return bytes;
}

std::string SiteFile::Sha256() const {
    gcry_md_hd_t opened = nullptr;
    if (!release_key::StartCryptoLibrary() || gcry_md_open(&opened, GCRY_MD_SHA256, 0) != 0)
        Refuse("libgcrypt cannot compute a digest");
    gcrypt_owners::Digest digest(opened);
    // Its size when it was opened: a file that grows meanwhile is not the one measured.
    ReadPieces(size_, [&](const char* piece, size_t length) { gcry_md_write(digest.get(), piece, length); });
    return std::string(reinterpret_cast<const char*>(gcry_md_read(digest.get(), GCRY_MD_SHA256)),
                       gcry_md_get_algo_dlen(GCRY_MD_SHA256));
}

std::optional<std::string> ReadSiteFile(const fs::path& site, const fs::path& relative, uint64_t largest) {
    std::optional<SiteFile> file = SiteFile::Open(site, relative);
    if (!file) return std::nullopt;
    return file->ReadWhole(largest);
}

void MakeSiteFolder(const fs::path& site, const fs::path& relative) { OpenSiteFolder(site, relative, true); }

void WriteNewFile(const fs::path& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) Refuse(Quoted(path.string()) + " cannot be created: " + std::strerror(errno));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            int error = errno;
            ::close(fd);
            Refuse(Quoted(path.string()) + " cannot be written: " + std::strerror(error));
        }
        done += static_cast<size_t>(put);
    }
    if (::close(fd) != 0) Refuse(Quoted(path.string()) + " cannot be written: " + std::strerror(errno));
}

site_lock::SiteLock LockSite(const fs::path& site) {
    try {
        return site_lock::SiteLock(site.string());
    } catch (const site_lock::LockNotTaken& e) {
        if (e.busy())
            Refuse("another cvztool release is publishing into " + site.string() + " (it holds " +
                   (site / site_lock::kLockFileName).string() + "); try again once it has finished");
        Refuse(e.what());
    }
}

}  // namespace site_files
