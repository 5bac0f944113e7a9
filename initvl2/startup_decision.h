// What a start of InitVL2 does, decided from what start-up found: start the
// installed suite, install or update to the manifest's release or to its fallback,
// or report that the update check failed. Portable and free of system calls, so
// that every rule is a native, table-driven test; SetupApp gathers the inputs and
// carries the outcome out.
#pragma once

#include <functional>
#include <string>

#include "net/manifest.h"

namespace startup_decision {

// What the request for the update manifest yielded.
enum class ManifestAnswer {
    NoConnection,  // the machine is offline: nothing was asked
    NoAnswer,      // nothing came back
    Unusable,      // an answer that is not a manifest, or names a version that cannot be a folder
    Read,          // a manifest was read
};

enum class Action {
    StartInstalledSuite,  // nothing is fetched or checked any further
    InstallRelease,       // install, or update to, the manifest's own release
    InstallFallback,      // install, or update to, the manifest's fallback release
    CannotCheck,          // the update check failed: a machine with a suite starts it, a fresh one says why
};

// Why the update check failed, for the user of a fresh install.
enum class CheckFailure { None, NoConnection, NoAnswer, UnusableAnswer };

struct Outcome {
    Action action = Action::CannotCheck;
    CheckFailure failure = CheckFailure::None;
    // With InstallRelease or InstallFallback: the release to install, signed.
    OfferedRelease release;
    // Its signed file list, when an update may build from it: only the manifest's own
    // release has one (a fallback comes whole), and an https file server's list is
    // fetched only over https (the list would tell everyone on the way what is
    // installed). "" otherwise.
    std::string fileListUrl;
};

// What costs something to find out (the registry and a digest, a signature check),
// asked only when the outcome depends on it, so that a start of the current suite
// pays for none of it.
struct Questions {
    // Whether this machine takes the manifest's release at a percentage from 1 to 99.
    std::function<bool(int percentage)> takesPartialRelease;
    // Whether the release is signed with the built-in key.
    std::function<bool(const OfferedRelease& release)> isSigned;
};

// `installedVersion` is "" when nothing is installed; `manifest` counts only with
// ManifestAnswer::Read; `fileServer` is the build's file server setting, whose
// scheme a release's download address may not fall below.
Outcome Decide(const std::string& installedVersion, ManifestAnswer answer, const UpdateManifest& manifest,
               const std::string& fileServer, const Questions& questions);

}  // namespace startup_decision
