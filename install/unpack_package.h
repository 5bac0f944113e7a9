// Turns a downloaded package into the new version's folder in the run's staging:
// the package must be the one the vendor signed, byte for byte, before a single
// entry of it reaches the disk, and the bytes unpacked are the very ones hashed (one
// handle, which no other writer may hold meanwhile). Runs as a worker's job
// (framework/worker.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/worker.h"

namespace install {

// How the check and extraction of the package ended. The package file is deleted
// whatever the outcome, so that a new start fetches it afresh.
enum class UnpackOutcome {
    Completed,    // every entry extracted whole from the signed package
    NotVerified,  // the package is not the one the vendor signed: nothing was extracted
    Failed,       // a damaged or hostile package, or an entry that could not be written
    Stopped,      // the stop request came first
    DiskFull,     // there is no room for what the package holds
};

struct UnpackJob {
    std::string packagePath;
    std::string sha256Text;    // the package's signed digest, 64 hexadecimal digits
    std::string targetFolder;  // a folder of the run's staging
    // The room left on the target's disk; when empty, the file system is asked.
    std::function<uint64_t()> roomOnDisk;
};

// Progress counts the entries begun and, once the package is open, their number.
// A version folder is complete or the outcome says it is not: one missing file may
// be the launcher itself.
UnpackOutcome UnpackSignedPackage(const UnpackJob& job, const StopRequest& stop, WorkProgress& progress);

}  // namespace install
