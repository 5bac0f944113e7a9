// `cvztool release`: turns a folder holding the suite into a published release in a
// SITE folder that any static web server or CDN serves as it is:
//
//   SITE/velmora2/files/V.cvz          the package, packed, checked and signed
//   SITE/velmora2/files/V.list         its signed file list, for updates that fetch only what changed
//   SITE/velmora2/update/update.inf    the manifest that points every machine at it
//
// With --rollout N the release goes to N percent of the machines. Below 100 the
// others are offered a fallback: SITE's current release when every machine has it,
// or the fallback that SITE's current partial release already names.
//
// The manifest is the switch that makes every machine fetch the package, so it is
// written last, to a temporary name that is renamed into place only after the
// package is complete on disk: a server never offers a manifest whose package is
// missing or half written. A published package is never replaced by other bytes.
//
// The Windows programs in the folder are examined before packing
// (release_programs): one that differs from the published one only in its
// signature keeps the published bytes, and with --require-authenticode a program
// whose signature does not verify refuses the release.
#pragma once

#include <string>
#include <vector>

#include "cvztool/site_files.h"

namespace release_command {

struct ReleaseOptions {
    std::string keyFile;
    std::string version;
    std::string fromFolder;
    std::string site;
    std::string baseUrl;  // the site's address; the package is at BASE/velmora2/files/V.cvz
    std::string date;     // empty: today, as YYYYMMDD
    std::string comment;
    bool allowOlder = false;  // publish even when the version is not newer than the site's
    std::string rollout;      // the percentage of machines, 0 to 100; empty: every machine, with no rollout line
    // The roots (a PEM file) that every program's Authenticode signature must chain
    // to; empty: unsigned programs are only named (release_programs).
    std::string trustedRoots;
};

// Why a release was not published. Nothing in SITE was changed.
using ReleaseRefused = site_files::Refused;

struct PublishedRelease {
    std::string packagePath;
    std::string manifestPath;
    std::string manifestText;
    std::string listPath;
    // What an update from the release published before costs, as a line of text;
    // "" when there was none with a list.
    std::string updateCost;
    int rollout = 100;            // the percentage of machines that take it
    std::string fallbackVersion;  // what machines outside a partial rollout are offered; "" for none
    std::vector<std::string> unsignedPrograms;  // programs without a signature, when none was required
    std::vector<std::string> keptPrograms;      // programs that keep the bytes the release before published
    std::string keptFrom;                       // that release's version
};

// Publishes a release, or throws ReleaseRefused leaving SITE as it was. Names and
// text arrive as UTF-8 and are written in code page 949, as the installer reads them.
PublishedRelease Publish(const ReleaseOptions& options);

// The manifest for a release: one line per field, each ending in LF, so that the last
// one is read too; `signedLines` (the digest and signature lines) follow as given.
std::string ManifestText(const std::string& version, const std::string& date, const std::string& comment,
                         const std::string& downloadUrl, const std::string& fileListUrl,
                         const std::string& signedLines);

// `cvztool release ...`: arguments after the command name. Exit 0 published, 4
// refused (reason on standard error), 64 usage.
int RunReleaseCommand(int argc, char** argv);

}  // namespace release_command
