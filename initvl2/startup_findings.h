// What start-up found out, handed to the setup window as one value.
#pragma once

#include <string>

// Why the setup window runs. Anything that branches on it treats Undecided as a
// fresh install.
enum class SetupMode { Undecided = 0, FreshInstall = 1, Update = 2 };

struct StartupFindings {
    SetupMode setupMode = SetupMode::Undecided;
    std::string programFilesPath;
    std::string installedVersion;  // "" when nothing is installed
    // The release this run installs, as the update manifest names it: its own, or
    // its fallback for a machine outside a partial rollout.
    std::string manifestVersion;
    std::string downloadUrl;
    std::string manifestDate;
    std::string manifestComment;
    // The signed SHA-256 of the package, 64 hexadecimal digits: the download must match it.
    std::string manifestSha256;
    // The release's signed file list, or "" when the manifest names none.
    std::string manifestFileListUrl;

    bool IsUpdate() const { return setupMode == SetupMode::Update; }
};
