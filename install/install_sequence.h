// The last stage of a fresh install or an update, the switch: record the version,
// register the autostart value, renew the shortcuts, drop and register the
// uninstaller, start the suite, report and prune the oldest version folder.
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
    // The version the switch goes from ("" for a fresh install): gone back to when
    // the new suite does not start. It lies below `previousRoot` ("": below
    // `installRoot`).
    std::string previousVersion;
    std::string previousRoot;
};

enum class InstallOutcome {
    Completed,
    // The new uninstaller could not be written: the old one, if any, and its
    // uninstall entry were left as they were; every other step ran.
    UninstallerKept,
    // The new suite did not start: the previous version is recorded and runs again,
    // the new one is remembered as failed and reported so.
    WentBack,
};

// Called for each shortcut that could not be written, while the sequence runs.
using ShortcutFailed = std::function<void(const ShortcutResult&)>;

// What the caller hears while the sequence runs; may be left empty.
struct InstallCallbacks {
    ShortcutFailed shortcutFailed;
};

// Records that a switch to `version` has begun, once its folder is whole and named:
// a start that finds this record finishes the switch (RunInstallSequence) without
// the server.
void BeginSwitch(const std::string& installRoot, const std::string& version);

// The switch itself: the running suite asked to quit, the records, the new suite
// started, the report, the end of the switch recorded, the oldest version pruned.
InstallOutcome RunInstallSequence(const InstallRequest& request, const InstallCallbacks& callbacks);

}  // namespace install
