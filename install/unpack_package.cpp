#include "install/unpack_package.h"

#include "archive/archive_reader.h"
#include "framework/file.h"
#include "release/release_signature.h"

namespace install {

namespace {

// Stops an extraction between two of its writes once the stop request has come.
bool GoesOn(unsigned, unsigned, void* stop) { return !static_cast<const StopRequest*>(stop)->Requested(); }

UnpackOutcome Unpack(const UnpackJob& job, const StopRequest& stop, WorkProgress& progress) {
    File package;
    try {
        // Nobody may write the package while it is checked and read: what the digest
        // vouches for is what is unpacked.
        package.Open(job.packagePath, File::modeRead | File::shareDenyWrite);
    } catch (const FileException&) {
        return UnpackOutcome::Failed;
    }
    std::string digest;
    if (!release_signature::FileSha256(package, digest, &stop)) return stop.Requested() ? UnpackOutcome::Stopped
                                                                                        : UnpackOutcome::Failed;
    if (!release_signature::DigestMatches(digest, job.sha256Text)) return UnpackOutcome::NotVerified;

    ArchiveReader reader;
    try {
        reader.Open(std::move(package));
        int count = reader.GetCount();
        uint64_t unpacked = 0;
        for (int i = 0; i < count; ++i) {
            ArchiveEntryInfo info;
            if (reader.GetEntryInfo(i, info)) unpacked += info.uncompressedSize;
        }
        uint64_t room = job.roomOnDisk ? job.roomOnDisk() : file_system::FreeBytes(job.targetFolder);
        if (room < unpacked) {
            reader.Close();
            return UnpackOutcome::DiskFull;
        }
        progress.total = static_cast<uint64_t>(count);
        for (int i = 0; i < count; ++i) {
            if (stop.Requested()) {
                reader.Close(true);
                return UnpackOutcome::Stopped;
            }
            progress.done = static_cast<uint64_t>(i);
            if (!reader.ExtractFile(i, job.targetFolder.c_str(), true, nullptr, GoesOn,
                                    const_cast<void*>(static_cast<const void*>(&stop)))) {
                reader.Close(true);
                return stop.Requested() ? UnpackOutcome::Stopped : UnpackOutcome::Failed;
            }
        }
        progress.done = static_cast<uint64_t>(count);
        reader.Close();
    } catch (const FileException& e) {
        reader.Close(true);
        return e.cause == FileException::diskFull ? UnpackOutcome::DiskFull : UnpackOutcome::Failed;
    } catch (const Exception&) {
        reader.Close(true);
        return UnpackOutcome::Failed;
    }
    return UnpackOutcome::Completed;
}

}  // namespace

UnpackOutcome UnpackSignedPackage(const UnpackJob& job, const StopRequest& stop, WorkProgress& progress) {
    UnpackOutcome outcome = Unpack(job, stop, progress);
    file_system::RemoveFile(job.packagePath);
    return outcome;
}

}  // namespace install
