// What a start of InitVL2 does, decided from what start-up found: start the
// installed suite, install or update to the manifest's release or to its fallback,
// or report that the update check failed. Portable and free of system calls, so
// that every rule is a native, table-driven test; SetupApp gathers the inputs and
// carries the outcome out.
#pragma once

#include <functional>
#include <string>
#include <vector>

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
    // release has one (a fallback comes whole), only a whole installed folder is built
    // from, and an https file server's list is fetched only over https (the list would
    // tell everyone on the way what is installed). "" otherwise.
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

// What is installed, as far as the server's answer is concerned.
struct Installed {
    Installed(const char* recorded = "") : version(recorded) {}
    Installed(const std::string& recorded) : version(recorded) {}
    std::string version;  // VERSION; "" when nothing is installed
    // False when its folder has lost its suite or launcher: a release of that very
    // version is then installed again, whole (a repair).
    bool whole = true;
    // A version whose suite did not start after the switch to it: not taken again
    // until a newer release is offered. "" for none.
    std::string failed;
};

// `manifest` counts only with ManifestAnswer::Read; `fileServer` is the build's file
// server setting, whose scheme a release's download address may not fall below.
Outcome Decide(const Installed& installed, ManifestAnswer answer, const UpdateManifest& manifest,
               const std::string& fileServer, const Questions& questions);

// What the records and the disk say, gathered before anything is asked of the
// server; what an update cut off at any moment can leave.
struct OnDisk {
    std::string recorded;         // VERSION; "" when nothing is installed
    bool recordedWhole = false;   // its folder holds the suite and its launcher
    // The other version folders that are whole, newest first.
    std::vector<std::string> otherWhole;
    std::string switching;        // a switch to this version had begun (its folder was whole then); ""
    bool switchingWhole = false;  // ... and its folder still is
    std::string failed;           // a version whose suite did not start after the switch to it; ""
};

enum class LocalAction {
    FinishSwitch,  // a switch was cut off after its version's folder was whole: finish it, no server needed
    Start,         // start one of `versions`, the first whose suite can be started, then ask the server
    Install,       // nothing whole to start: what the server offers is installed (a fresh install)
};

struct LocalChoice {
    LocalAction action = LocalAction::Install;
    // FinishSwitch: the one version; Start: what to start, in order (the recorded
    // version when whole, then the others, newest first).
    std::vector<std::string> versions;
    // The recorded version is not whole: ask the server for it again.
    bool repair = false;
};

LocalChoice ChooseOnDisk(const OnDisk& disk);

// A start never waits long on the server: when the manifest has not come within
// this, the installed suite starts and the check goes on without a window. A
// healthy server answers well within it: a manifest is a few hundred bytes, one
// round trip after the connection, and even a TLS handshake on a line with 200 ms
// round trips (three of them) leaves room; so a current suite starts as it always
// did, and one whose server is silent about a second after its launcher.
constexpr unsigned kManifestDeadlineMilliseconds = 800;

// When the manifest came, as far as a start is concerned.
enum class AnswerTiming {
    InTime,  // within the deadline
    Late,    // after it: the installed suite was started at the deadline
    Never,   // not at all (the request's own deadline passed)
};

// What a start does with the answer, from what is on disk and the decision taken
// on what came (Action::CannotCheck when nothing did).
struct StartPlan {
    bool startAtDeadline = false;  // the installed suite starts when the deadline passes
    bool startNow = false;         // ... or once the answer has been taken
    bool install = false;          // the release is installed (or updated to)
    bool suiteStartedFirst = false;  // ... while the suite started at the deadline runs
};
StartPlan PlanStart(const LocalChoice& local, AnswerTiming timing, Action decided);

}  // namespace startup_decision
