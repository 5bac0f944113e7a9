// The vendor's update manifest: a small text file naming the current release.
//
//   version=2.01
//   date=20061231
//   comment=...
//   download=http://host/path/2.01.cvz
//   sha256=<64 hexadecimal digits: the package's SHA-256>
//   signature=<base64 of the 64-byte ed25519 signature of the release>
//   filelist=http://host/path/2.01.list     (optional: the release's signed file list)
//
// Lines end with LF (CR LF is fine); a line counts only when an LF follows it.
// Lines are classified by their first four characters, so "versioning=on" is a
// version line, and the key text is removed wherever it occurs in the line. The
// digest and signature lines came later: "sha2" and "sign" share no first four
// characters with the older kinds, so programs that predate them skip them. Their
// values are taken as they are; whether they are well formed is the signature
// check's concern, which refuses anything odd. The file list came later still; its
// "file" is no older kind's either, and the list carries its own signature.
#pragma once

#include <string>

struct UpdateManifest {
    std::string version;
    std::string date;
    std::string comment;
    std::string downloadUrl;
    std::string sha256;
    std::string signature;
    std::string fileListUrl;
};

// Applies the manifest in `body` to `fields`: a kind without a line keeps its
// value. Returns false, changing nothing, when the body is not a manifest (after
// trimming it must begin with "version").
bool ParseManifest(const std::string& body, UpdateManifest& fields);
