#include "cvztool/rollout_command.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/version_text.h"
#include "net/manifest.h"
#include "cvztool/site_files.h"

namespace fs = std::filesystem;
using site_files::Quoted;
using site_files::Refuse;

namespace rollout_command {

namespace {

bool SameRelease(const OfferedRelease& a, const OfferedRelease& b) {
    return a.version == b.version && a.date == b.date && a.downloadUrl == b.downloadUrl && a.sha256 == b.sha256 &&
           a.signature == b.signature;
}

// The new manifest must read back as the old one with only the rollout (and, at
// 100, the fallback) changed: what was signed must still be offered as it was.
void CheckReadsBack(const std::string& manifest, const UpdateManifest& expected) {
    UpdateManifest read;
    if (!ParseManifest(manifest, read) || !SameRelease(ManifestRelease(read), ManifestRelease(expected)) ||
        read.comment != expected.comment || !SameRelease(read.fallback, expected.fallback) || !read.hasRollout ||
        read.rollout != expected.rollout)
        Refuse("the rewritten manifest would not read back as the published one with the new rollout");
}

}  // namespace

std::string WithRollout(const std::string& manifest, int percentage) {
    std::vector<ManifestLine> lines = ManifestLines(manifest);
    const std::string rolloutLine = "rollout=" + std::to_string(percentage) + "\n";
    std::string result;
    size_t copied = 0;
    bool rewritten = false;
    for (const ManifestLine& line : lines) {
        std::string kind = LineKind(line.text);
        bool isRollout = kind == "roll";
        bool removed = kind == "fall" && percentage >= kEveryMachine;
        if (!isRollout && !removed) continue;
        result.append(manifest, copied, line.begin - copied);
        if (isRollout) result += rolloutLine;
        rewritten = rewritten || isRollout;
        copied = line.end + 1;
    }
    if (!rewritten) {
        // After the last line that is read: text behind the last line break is not
        // a line, and must not become one.
        size_t afterLines = lines.empty() ? 0 : lines.back().end + 1;
        result.append(manifest, copied, afterLines - copied);
        result += rolloutLine;
        copied = afterLines;
    }
    result.append(manifest, copied, std::string::npos);
    return result;
}

ChangedRollout SetRollout(const std::string& siteFolder, const std::string& percentageText) {
    int percentage = 0;
    if (!ReadRolloutPercentage(percentageText, percentage))
        Refuse("the rollout " + Quoted(percentageText) + " is not an integer from 0 to 100");
    fs::path site(siteFolder);
    fs::path manifestPath = site_files::ManifestPath(site);
    auto noManifest = [&] {
        Refuse(Quoted(site.string()) + " has no manifest " + Quoted(manifestPath.string()) + "; release first");
    };
    // Looked for before the lock, which would create its file in SITE.
    if (!site_files::SiteFile::Open(site, site_files::ManifestInSite())) noManifest();

    // From reading the manifest to placing the new one, no other command writes
    // into SITE: a release meanwhile would be undone.
    site_lock::SiteLock lock = site_files::LockSite(site);
    std::optional<std::string> before =
        site_files::ReadSiteFile(site, site_files::ManifestInSite(), site_files::kLargestManifestBytes);
    if (!before) noManifest();
    UpdateManifest published;
    if (!ParseManifest(*before, published) || !version_text::IsPlainFileName(published.version))
        Refuse(Quoted(manifestPath.string()) + " is not a manifest the installer acts on");

    ChangedRollout changed;
    changed.manifestPath = manifestPath.string();
    changed.version = published.version;
    changed.before = RolloutPercentage(published);
    changed.after = percentage;
    UpdateManifest expected = published;
    expected.hasRollout = true;
    expected.rollout = std::to_string(percentage);
    if (percentage >= kEveryMachine) {
        changed.removedFallback = published.fallback.version;
        expected.fallback = OfferedRelease();
    }
    std::string after = WithRollout(*before, percentage);
    CheckReadsBack(after, expected);

    site_files::PendingFile pending(manifestPath.parent_path(), site_files::kManifestName);
    site_files::WriteNewFile(pending.path(), after);
    pending.PlaceAs(manifestPath);
    return changed;
}

int RunRolloutCommand(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: cvztool rollout SITE PERCENT\n", stderr);
        return 64;
    }
    try {
        ChangedRollout changed = SetRollout(argv[0], argv[1]);
        std::printf("rollout of %s: %d%% of the machines (was %d%%)\n  %s\n", changed.version.c_str(), changed.after,
                    changed.before, changed.manifestPath.c_str());
        if (!changed.removedFallback.empty())
            std::printf("the fallback %s is no longer offered: every machine takes %s\n",
                        changed.removedFallback.c_str(), changed.version.c_str());
        std::printf("Upload the manifest.\n");
        return 0;
    } catch (const site_files::Refused& e) {
        std::fprintf(stderr, "rollout refused: %s\n", e.what());
        return 4;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rollout failed, nothing changed: %s\n", e.what());
        return 4;
    }
}

}  // namespace rollout_command
