// The package download. It streams the package from the vendor's file server into a
// file of the run's staging with the programs' own HTTP client: nothing comes from or
// goes into a cache, every read and write can be stopped, a package larger than its
// bound is cut off there, and a download that ends early keeps what it has, so that
// the next attempt asks only for the rest (a range validated against the package's
// signed size; the signed digest is checked over the whole file afterwards, so
// bytes of another package never pass). Runs as a worker's job (framework/worker.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/worker.h"
#include "net/file_fetch.h"

enum class DownloadOutcome {
    Complete,    // the whole package is in the target file
    Incomplete,  // it ended early, failed or was stopped: what arrived is kept for the next attempt
    TooLarge,    // the package is larger than it may be: the file is deleted
    DiskFull,    // there is no room for it: what arrived is kept
};

struct DownloadRequest {
    std::string url;
    std::string targetPath;
    // The package's size when the release says it (its signed file list), else 0:
    // a download never goes past it, and a resumed one must name it.
    uint64_t expectedSize = 0;
    // With no expected size, the most a package may take.
    uint64_t largestSize = 0;
    // Whether bytes already in the target file may be kept and only the rest asked
    // for; false starts from nothing.
    bool resume = true;
    // The room left on the target's disk; when empty, the file system is asked.
    std::function<uint64_t()> roomOnDisk;
};

// What the next attempt asks of the server, from the bytes already kept.
struct Resumption {
    bool ranged = false;  // ask for the rest only
    uint64_t first = 0;   // ... from this byte on
};
Resumption ResumeFrom(uint64_t keptBytes, const DownloadRequest& request);

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Incomplete;
    bool resumed = false;  // the bytes an earlier attempt kept were kept and the rest fetched
};

// The job: progress counts the bytes on disk (resumed ones included) and, once
// known, the package's size.
DownloadResult DownloadPackage(file_fetch::Fetcher& server, const DownloadRequest& request, const StopRequest& stop,
                               WorkProgress& progress);
