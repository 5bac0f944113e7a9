// The last stage of a fresh install or an update: record the version, register the
// autostart value, renew the shortcuts, report, drop and register the uninstaller,
// start the suite and prune the oldest version folder.
#pragma once

#include <functional>
#include <string>

#include "install/shortcuts.h"

namespace install {

enum class InstallVariant { Update, Fresh };

struct InstallRequest {
    std::string programFilesPath;
    std::string version;  // the whole version text: it names the version folder
    InstallVariant variant = InstallVariant::Fresh;
};

enum class InstallOutcome {
    Completed,
    UninstallerNotWritten,  // stopped before the uninstall entry: nothing after it ran
};

// Called for each shortcut that could not be written, while the sequence runs.
using ShortcutFailed = std::function<void(const ShortcutResult&)>;

InstallOutcome RunInstallSequence(const InstallRequest& request, const ShortcutFailed& shortcutFailed);

}  // namespace install
