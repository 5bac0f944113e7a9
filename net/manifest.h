// The vendor's update manifest: a small text file naming the current release.
//
//   version=2.01
//   date=20061231
//   comment=...
//   download=http://host/path/2.01.cvz
//   sha256=<64 hexadecimal digits: the package's SHA-256>
//   signature=<base64 of the 64-byte ed25519 signature of the release>
//   filelist=http://host/path/2.01.list     (optional: the release's signed file list)
//   rollout=5
//   fallback-version=2.00
//   fallback-date=20061201
//   fallback-download=http://host/path/2.00.cvz
//   fallback-sha256=<the fallback package's SHA-256>
//   fallback-signature=<the fallback release's own signature>
//
// The last six lines are optional. "rollout=" is the percentage of machines that
// take the release; the fallback lines name the release that the machines outside
// a partial rollout are offered instead (the last one that reached every machine),
// with the digest and signature it was released with.
//
// Lines end with LF (CR LF is fine); a line counts only when an LF follows it.
// Lines are classified by their first four characters, so "versioning=on" is a
// version line, and the key text is removed wherever it occurs in the line. The
// digest and signature lines came later: "sha2" and "sign" share no first four
// characters with the older kinds, so programs that predate them skip them. Their
// values are taken as they are; whether they are well formed is the signature
// check's concern, which refuses anything odd. The file list came later still; its
// "file" is no older kind's either, and the list carries its own signature.
//
// The rollout and fallback lines came later again, and "roll" and "fall" too are
// first four characters that no older kind uses, so older programs take the
// manifest's release as before. The rollout line is outside the signature on
// purpose: the vendor widens or halts a release without the offline key, and the
// line can only hold back a release that is signed already. Each fallback key is
// removed wherever it occurs in its own line only, so a fallback address keeps a
// "download=" it may hold.
#pragma once

#include <string>
#include <vector>

// A release as the manifest offers it: what a machine needs to fetch and check it.
struct OfferedRelease {
    std::string version;
    std::string date;
    std::string downloadUrl;
    std::string sha256;
    std::string signature;
};

struct UpdateManifest {
    std::string version;
    std::string date;
    std::string comment;
    std::string downloadUrl;
    std::string sha256;
    std::string signature;
    std::string fileListUrl;
    bool hasRollout = false;  // a rollout= line was read
    std::string rollout;
    OfferedRelease fallback;
};

// The manifest's own release.
OfferedRelease ManifestRelease(const UpdateManifest& manifest);

// True when any fallback line was read: a machine outside the rollout is then meant
// to take that release, whole or not.
bool HasFallback(const UpdateManifest& manifest);

// The largest manifest the installer reads (a manifest is a few hundred bytes), and
// the largest that cvztool reads back from a site.
constexpr unsigned kLargestManifestBytes = 1u << 20;

// The rollout of a release every machine takes: no rollout line means this.
constexpr int kEveryMachine = 100;

// True, with `percentage` set, when `value` is an integer from 0 to 100 in at most
// three digits and nothing else.
bool ReadRolloutPercentage(const std::string& value, int& percentage);

// The percentage of machines that take the manifest's release: 100 without a
// rollout line, its value when ReadRolloutPercentage takes it, and 0 for anything
// else, so that a typo halts a release and never widens it.
int RolloutPercentage(const UpdateManifest& manifest);

// A line as the parser reads it: only lines that an LF ends count, and leading
// white space of the whole body is skipped first.
struct ManifestLine {
    size_t begin;      // the line's first byte in the body
    size_t end;        // its LF
    std::string text;  // the line trimmed of white space (a CR included)
};
std::vector<ManifestLine> ManifestLines(const std::string& body);

// What a line is, by its first four characters ("vers", "roll", ...); "" for a
// section header, which is skipped.
std::string LineKind(const std::string& line);

// Applies the manifest in `body` to `fields`: a kind without a line keeps its
// value. Returns false, changing nothing, when the body is not a manifest (after
// trimming it must begin with "version").
bool ParseManifest(const std::string& body, UpdateManifest& fields);
