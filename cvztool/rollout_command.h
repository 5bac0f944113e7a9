// `cvztool rollout SITE PERCENT`: widens, narrows or halts the release that SITE's
// manifest names, without the signing key. The rollout line lies outside the
// signature, so only it changes: every other line stays byte for byte as it was
// signed and released, except that at 100 the fallback lines go, since no machine
// is outside the rollout any more. Like a release, it writes the manifest under a
// temporary name and renames it into place, under SITE's lock.
#pragma once

#include <string>

namespace rollout_command {

// `manifest` with its rollout set to `percentage` (0 to 100): each rollout line is
// rewritten where it stands, or one is added after the last line the parser reads;
// at 100 the fallback lines are removed. Every other byte is kept.
std::string WithRollout(const std::string& manifest, int percentage);

struct ChangedRollout {
    std::string manifestPath;
    std::string version;          // the release whose rollout changed
    int before = 0;               // its percentage before, and now
    int after = 0;
    std::string removedFallback;  // the fallback no longer offered, at 100; "" when none was
};

// Sets the percentage of SITE's release, or throws site_files::Refused leaving SITE
// as it was: a percentage that is not an integer from 0 to 100, a SITE without a
// manifest the installer acts on, another cvztool command writing into SITE.
ChangedRollout SetRollout(const std::string& site, const std::string& percentage);

// `cvztool rollout SITE PERCENT`: arguments after the command name. Exit 0 changed,
// 4 refused (reason on standard error), 64 usage.
int RunRolloutCommand(int argc, char** argv);

}  // namespace rollout_command
