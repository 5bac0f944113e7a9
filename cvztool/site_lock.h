// One cvztool command at a time writes into a SITE folder. A release reads the
// published manifest to decide whether it is newer, then writes its package and a
// new manifest: two at once could publish the older release last, or both judge
// themselves newer than the same manifest.
//
// The lock is flock(2) on SITE/.cvztool.lock, a file left in place: the system drops
// the lock when its holder ends, however it ends, so a crashed run never blocks the
// next one, and nothing needs removing. The vendor's server serves no dot file.
#pragma once

#include <stdexcept>
#include <string>

#include "cvztool/scoped_descriptor.h"

namespace site_lock {

extern const char kLockFileName[];

// Why the lock was not taken: busy() when another command holds it, otherwise the
// lock file could not be opened (the reason in what()).
class LockNotTaken : public std::runtime_error {
 public:
    LockNotTaken(const std::string& why, bool busy) : std::runtime_error(why), busy_(busy) {}
    bool busy() const { return busy_; }

 private:
    bool busy_;
};

// Holds SITE's lock while in scope. It never waits: a command that finds the site
// busy stops before it has changed anything. SITE must exist. Throws LockNotTaken.
class SiteLock {
 public:
    explicit SiteLock(const std::string& site);

 private:
    ScopedDescriptor file_;
};

}  // namespace site_lock
