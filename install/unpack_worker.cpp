#include "install/unpack_worker.h"

#include "archive/archive_reader.h"
#include "framework/file.h"
#include "install/unpack_package.h"
#include "release/release_signature.h"

namespace install {

UnpackWorker::UnpackWorker() : job_(std::make_shared<Job>()) {}

bool UnpackWorker::Start(const std::string& packagePath, const std::string& sha256Text,
                         const std::string& targetFolder) {
    if (thread_.IsRunning()) return false;
    auto job = std::make_shared<Job>();
    job_ = job;
    return thread_.Start([job, packagePath, sha256Text, targetFolder] {
        // The package must be the one the vendor signed, byte for byte, before a
        // single entry of it reaches the disk.
        if (!release_signature::FileMatchesDigest(packagePath, sha256Text)) {
            file_system::RemoveFile(packagePath);
            job->outcome = UnpackOutcome::NotVerified;
            return;
        }
        ArchiveReader reader;
        UnpackResult result = UnpackPackage(reader, packagePath, targetFolder, [&job](int index, int count) {
            job->count = count;
            job->done = index;
        });
        if (result == UnpackResult::Completed) {
            if (job->count < 0) job->count = 0;  // an empty package calls nothing back
            job->done = job->count.load();
        }
        job->outcome = result == UnpackResult::Completed ? UnpackOutcome::Completed : UnpackOutcome::Failed;
    });
}

void UnpackWorker::Progress(int& done, int& count) const {
    done = job_->done;
    count = job_->count;
}

UnpackOutcome UnpackWorker::Finish() {
    thread_.Join();
    return job_->outcome;
}

}  // namespace install
