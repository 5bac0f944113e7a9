#include "cvztool/site_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "framework/text.h"

namespace fs = std::filesystem;

namespace site_files {

const char kFilesFolder[] = "velmora2/files";
const char kUpdateFolder[] = "velmora2/update";
const char kManifestName[] = "update.inf";

namespace {

void SyncPath(const fs::path& path, int flags) {
    int fd = ::open(path.c_str(), flags);
    bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) Refuse(Quoted(path.string()) + " cannot be flushed to disk: " + std::strerror(errno));
}

}  // namespace

fs::path ManifestPath(const fs::path& site) { return site / kUpdateFolder / kManifestName; }

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

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Refuse(Quoted(path.string()) + " cannot be read");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
