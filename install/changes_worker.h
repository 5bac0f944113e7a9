// Fetches an update's changes on a thread of its own: the release's signed file
// list, then, out of the installed version and ranges of the package, the new
// version folder (see changed_files.h). Its counts and its end are read by the
// run's driver at its own pace.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/worker_thread.h"
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

class ChangesWorker {
 public:
    ChangesWorker();
    // A job still running is asked to stop at its next request and given a few seconds.
    ~ChangesWorker();
    ChangesWorker(const ChangesWorker&) = delete;
    ChangesWorker& operator=(const ChangesWorker&) = delete;

    bool Start(const ChangesRequest& request);
    bool IsRunning() const { return thread_.IsRunning(); }
    bool HasEnded() const { return thread_.HasEnded(); }
    HANDLE EndEvent() const { return thread_.EndEvent(); }
    void Progress(uint64_t& fetched, uint64_t& toFetch) const;
    // Asks the job to stop at its next request and stops waiting for it.
    void Abandon();
    // After the end: true when the new folder is whole and every file the listed one.
    bool Finish();

 private:
    struct Job {
        ChangesRequest request;
        std::atomic<uint64_t> fetched{0};
        std::atomic<uint64_t> toFetch{0};
        std::atomic<bool> stop{false};
        bool whole = false;
    };
    static void Run(Job& job);

    std::shared_ptr<Job> job_;
    WorkerThread thread_;
};

}  // namespace install
