// Asks the vendor's file server for the update manifest.
#pragma once

#include "net/manifest.h"

enum class ManifestStatus {
    Read,      // a usable manifest was read and applied
    NoAnswer,  // nothing came back: no connection, no server, an empty answer
    Unusable,  // an answer that is not a manifest, or names a version that cannot be a folder
};

// Reads the manifest into `fields`, which change only when it is Read. Nothing
// else than Read lets start-up go on; the other two say why not. The request is made
// on the caller's thread: start-up runs it apart and stops waiting at its deadline.
ManifestStatus FetchManifest(UpdateManifest& fields);
