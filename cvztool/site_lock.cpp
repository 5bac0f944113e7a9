#include "cvztool/site_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>

namespace site_lock {

const char kLockFileName[] = ".cvztool.lock";

SiteLock::SiteLock(const std::string& site) {
    std::string path = site + "/" + kLockFileName;
    // Reading is all flock needs, and lets one engineer lock the file another made.
    file_.Reset(::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file_) throw LockNotTaken("\"" + path + "\" cannot be opened: " + std::strerror(errno), false);
    if (::flock(file_.Get(), LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        throw LockNotTaken("\"" + path + "\" cannot be locked: " + std::strerror(error), error == EWOULDBLOCK);
    }
}

}  // namespace site_lock
