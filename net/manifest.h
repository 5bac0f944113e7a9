// The vendor's update manifest: a small text file naming the current release.
//
//   version=2.01
//   date=20061231
//   comment=...
//   download=http://host/path/2.01.cvz
//
// Lines end with LF (CR LF is fine); a line counts only when an LF follows it.
// Lines are classified by their first four characters, so "versioning=on" is a
// version line, and the key text is removed wherever it occurs in the line.
#pragma once

#include <string>

struct UpdateManifest {
    std::string version;
    std::string date;
    std::string comment;
    std::string downloadUrl;
};

// Applies the manifest in `body` to `fields`: a kind without a line keeps its
// value. Returns false, changing nothing, when the body is not a manifest (after
// trimming it must begin with "version").
bool ParseManifest(const std::string& body, UpdateManifest& fields);
