// The last stage of a fresh install or an update: record the version, register the
// autostart value, renew the shortcuts, drop and register the uninstaller, start
// the suite, report and prune the oldest version folder.
#pragma once

#include <functional>
#include <string>

#include "install/shortcuts.h"

namespace install {

enum class InstallVariant { Update, Fresh };

struct InstallRequest {
    std::string installRoot;
    std::string version;  // the whole version text: it names the version folder
    InstallVariant variant = InstallVariant::Fresh;
};

enum class InstallOutcome {
    Completed,
    // The new uninstaller could not be written: the old one, if any, and its
    // uninstall entry were left as they were; every other step ran.
    UninstallerKept,
};

// Called for each shortcut that could not be written, while the sequence runs.
using ShortcutFailed = std::function<void(const ShortcutResult&)>;

// What the caller hears while the sequence runs; may be left empty.
struct InstallCallbacks {
    ShortcutFailed shortcutFailed;
};

InstallOutcome RunInstallSequence(const InstallRequest& request, const InstallCallbacks& callbacks);

}  // namespace install
