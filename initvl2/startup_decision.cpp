#include "initvl2/startup_decision.h"

#include "app/version_text.h"
#include "framework/text.h"
#include "net/server_address.h"

namespace startup_decision {

namespace {

Outcome Do(Action action) {
    Outcome outcome;
    outcome.action = action;
    return outcome;
}

Outcome CannotCheck(CheckFailure failure) {
    Outcome outcome;
    outcome.failure = failure;
    return outcome;
}

// Only a release the vendor signed is downloaded: one that anyone on the way could
// have written counts as an answer that could not be used.
Outcome InstallIfSigned(const OfferedRelease& release, Action install, const Questions& questions) {
    if (!questions.isSigned(release)) return CannotCheck(CheckFailure::UnusableAnswer);
    Outcome outcome = Do(install);
    outcome.release = release;
    return outcome;
}

}  // namespace

Outcome Decide(const Installed& installedState, ManifestAnswer answer, const UpdateManifest& manifest,
               const std::string& fileServer, const Questions& questions) {
    const std::string& installedVersion = installedState.version;
    switch (answer) {
        case ManifestAnswer::NoConnection: return CannotCheck(CheckFailure::NoConnection);
        case ManifestAnswer::NoAnswer: return CannotCheck(CheckFailure::NoAnswer);
        case ManifestAnswer::Unusable: return CannotCheck(CheckFailure::UnusableAnswer);
        case ManifestAnswer::Read: break;
    }
    // The download goes to the system's URL service as it is: only web addresses,
    // and from an https file server only https ones (no silent step down).
    if (!server_address::IsUsableDownloadUrl(manifest.downloadUrl, fileServer))
        return CannotCheck(CheckFailure::UnusableAnswer);

    const bool installed = !installedVersion.empty();
    // A folder that lost its suite gets the same version again, whole: what is left
    // of it is not built from.
    const bool repair = installed && !installedState.whole &&
                        text::MbsCompare(version_text::Prefix(installedVersion), version_text::Prefix(manifest.version)) == 0;
    // Current or newer (a withdrawn release): the installed version starts, always.
    // Nothing else about the manifest is looked at on this path, so it cannot choose
    // among the version folders on disk either.
    if (installed && !repair && !version_text::IsOlder(installedVersion, manifest.version))
        return Do(Action::StartInstalledSuite);

    // A release whose suite did not start here is held back from this machine, as one
    // outside its rollout is, until a newer one comes.
    bool failedHere = !installedState.failed.empty() && !version_text::IsOlder(installedState.failed, manifest.version);
    int percentage = RolloutPercentage(manifest);
    bool takesRelease = !failedHere && (percentage >= kEveryMachine ||
                                        (percentage > 0 && questions.takesPartialRelease(percentage)));
    if (takesRelease) {
        Outcome outcome = InstallIfSigned(ManifestRelease(manifest), Action::InstallRelease, questions);
        // Built from the installed folder only when that is whole: a repair, and an
        // update of a folder that lost files, come whole.
        if (outcome.action == Action::InstallRelease && installed && installedState.whole &&
            server_address::IsUsableDownloadUrl(manifest.fileListUrl, fileServer))
            outcome.fileListUrl = manifest.fileListUrl;
        return outcome;
    }

    if (!HasFallback(manifest)) {
        // Held back with nothing else offered: the installed suite goes on; a fresh
        // install has nothing else to install than the manifest's release.
        if (installed || failedHere) return Do(Action::StartInstalledSuite);
        return InstallIfSigned(ManifestRelease(manifest), Action::InstallRelease, questions);
    }
    const OfferedRelease& fallback = manifest.fallback;
    if (installed && !version_text::IsOlder(installedVersion, fallback.version)) return Do(Action::StartInstalledSuite);
    if (!installedState.failed.empty() && !version_text::IsOlder(installedState.failed, fallback.version))
        return Do(Action::StartInstalledSuite);
    // A fallback that cannot be fetched as it stands is a broken answer, not a reason
    // to take the release this machine was held back from.
    if (!version_text::IsPlainFileName(fallback.version) ||
        !server_address::IsUsableDownloadUrl(fallback.downloadUrl, fileServer))
        return CannotCheck(CheckFailure::UnusableAnswer);
    return InstallIfSigned(fallback, Action::InstallFallback, questions);
}

LocalChoice ChooseOnDisk(const OnDisk& disk) {
    LocalChoice choice;
    // The switch's records are written only once its folder is whole: finishing it
    // needs nothing from the server, and leaves every pointer naming what exists.
    if (!disk.switching.empty() && disk.switchingWhole) {
        choice.action = LocalAction::FinishSwitch;
        choice.versions = {disk.switching};
        return choice;
    }
    // A version that did not start comes last: a start cut off while going back from
    // it still starts the one it went back to.
    bool recordedFailed = !disk.failed.empty() && disk.recorded == disk.failed;
    if (!disk.recorded.empty() && disk.recordedWhole && !recordedFailed) choice.versions.push_back(disk.recorded);
    for (const std::string& other : disk.otherWhole)
        if (other != disk.recorded) choice.versions.push_back(other);
    if (recordedFailed && disk.recordedWhole) choice.versions.push_back(disk.recorded);
    choice.repair = !disk.recorded.empty() && !disk.recordedWhole;
    choice.action = choice.versions.empty() ? LocalAction::Install : LocalAction::Start;
    return choice;
}

StartPlan PlanStart(const LocalChoice& local, AnswerTiming timing, Action decided) {
    StartPlan plan;
    // A fresh install has nothing to start: it waits for the answer as it always did.
    bool installed = local.action == LocalAction::Start;
    plan.startAtDeadline = installed && timing != AnswerTiming::InTime;
    bool installing = decided == Action::InstallRelease || decided == Action::InstallFallback;
    plan.install = installing;
    plan.suiteStartedFirst = installing && plan.startAtDeadline;
    // Whatever came in time and installs nothing starts the installed suite (a fresh
    // one that could not check says why instead); late, it runs already.
    plan.startNow = installed && !installing && !plan.startAtDeadline;
    return plan;
}

}  // namespace startup_decision
