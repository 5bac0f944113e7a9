// Checks the downloaded package against its signed digest and unpacks it into the
// version folder on a thread of its own, at full speed, while whoever drives the
// install goes on drawing (or, in an update, waiting). The counts and the outcome
// are read by the owner at its own pace.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/worker_thread.h"
#include "install/setup_run.h"

namespace install {

class UnpackWorker {
 public:
    UnpackWorker();
    UnpackWorker(const UnpackWorker&) = delete;
    UnpackWorker& operator=(const UnpackWorker&) = delete;

    // Starts with the package at `packagePath`, which must have the SHA-256
    // `sha256Text` (64 hexadecimal digits) before a single entry reaches
    // `targetFolder`. The package is deleted whatever happens. False when the
    // thread could not be created.
    bool Start(const std::string& packagePath, const std::string& sha256Text, const std::string& targetFolder);
    bool IsRunning() const { return thread_.IsRunning(); }
    bool HasEnded() const { return thread_.HasEnded(); }
    HANDLE EndEvent() const { return thread_.EndEvent(); }
    // Entries done so far and their number (-1 until the package is open).
    void Progress(int& done, int& count) const;
    // After the end.
    UnpackOutcome Finish();

 private:
    struct Job {
        std::atomic<int> done{0};
        std::atomic<int> count{-1};
        UnpackOutcome outcome = UnpackOutcome::Failed;
    };
    std::shared_ptr<Job> job_;
    WorkerThread thread_;
};

}  // namespace install
