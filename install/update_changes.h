// An update's changes fetched on a worker (framework/worker.h): the release's signed
// file list, then the new version built from the installed one and ranges of the
// package (changed_files.h), with the vendor's file server over HTTP.
#pragma once

#include <cstdint>
#include <string>

#include "framework/worker.h"
#include "install/changed_files.h"

namespace install {

struct ChangesRequest {
    std::string fileListUrl;
    std::string packageUrl;
    std::string version;
    std::string sha256;  // the package's signed digest, 64 hexadecimal digits
    std::string installedFolder;
    std::string newFolder;
    std::string scratchPackage;
};

struct ChangesResult {
    ChangesOutcome outcome = ChangesOutcome::Doubt;
    // The package's size as the verified list gives it (0 without one): the whole
    // package, if it has to come after all, may not be larger.
    uint64_t packageSize = 0;
};

ChangesResult FetchChanges(const ChangesRequest& request, const StopRequest& stop, WorkProgress& progress);

}  // namespace install
