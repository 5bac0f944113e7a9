#include "initvl2/startup_decision.h"

#include "app/version_text.h"
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

Outcome Decide(const std::string& installedVersion, ManifestAnswer answer, const UpdateManifest& manifest,
               const std::string& fileServer, const Questions& questions) {
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
    // Current or newer (a withdrawn release): the installed version starts, always.
    // Nothing else about the manifest is looked at on this path, so it cannot choose
    // among the version folders on disk either.
    if (installed && !version_text::IsOlder(installedVersion, manifest.version)) return Do(Action::StartInstalledSuite);

    int percentage = RolloutPercentage(manifest);
    bool takesRelease = percentage >= kEveryMachine || (percentage > 0 && questions.takesPartialRelease(percentage));
    if (takesRelease) {
        Outcome outcome = InstallIfSigned(ManifestRelease(manifest), Action::InstallRelease, questions);
        if (outcome.action == Action::InstallRelease && installed &&
            server_address::IsUsableDownloadUrl(manifest.fileListUrl, fileServer))
            outcome.fileListUrl = manifest.fileListUrl;
        return outcome;
    }

    if (!HasFallback(manifest)) {
        // Held back with nothing else offered: the installed suite goes on; a fresh
        // install has nothing else to install than the manifest's release.
        if (installed) return Do(Action::StartInstalledSuite);
        return InstallIfSigned(ManifestRelease(manifest), Action::InstallRelease, questions);
    }
    const OfferedRelease& fallback = manifest.fallback;
    if (installed && !version_text::IsOlder(installedVersion, fallback.version)) return Do(Action::StartInstalledSuite);
    // A fallback that cannot be fetched as it stands is a broken answer, not a reason
    // to take the release this machine was held back from.
    if (!version_text::IsPlainFileName(fallback.version) ||
        !server_address::IsUsableDownloadUrl(fallback.downloadUrl, fileServer))
        return CannotCheck(CheckFailure::UnusableAnswer);
    return InstallIfSigned(fallback, Action::InstallFallback, questions);
}

}  // namespace startup_decision
