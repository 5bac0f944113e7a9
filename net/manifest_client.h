// Asks the vendor's file server for the update manifest.
#pragma once

#include "net/manifest.h"

// Reads the manifest into `fields`; 1 when a manifest was read and applied, 0
// otherwise (no field changes then). A version that could not serve as a folder
// name inside the product folder makes the manifest count as unreadable.
int FetchManifest(UpdateManifest& fields);
