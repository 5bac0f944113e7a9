#include "net/package_download.h"

#include "framework/file.h"

namespace {

using file_fetch::Answer;

// Writes what arrives at the end of the target file, counting it; refuses once the
// stop request has come, so that nothing more reaches the disk.
class PackageFile : public answer_reading::Sink {
 public:
    PackageFile(File& file, const StopRequest& stop, WorkProgress& progress)
        : file_(file), stop_(stop), progress_(progress) {}
    bool Take(const char* bytes, size_t size) override {
        if (stop_.Requested()) return false;
        try {
            file_.Write(bytes, static_cast<unsigned>(size));
        } catch (const FileException& e) {
            diskFull = e.cause == FileException::diskFull;
            return false;
        }
        progress_.done += size;
        return true;
    }
    bool diskFull = false;

 private:
    File& file_;
    const StopRequest& stop_;
    WorkProgress& progress_;
};

uint64_t KeptBytes(const std::string& path) {
    if (!file_system::Exists(path) || file_system::IsFolder(path)) return 0;
    try {
        File file;
        file.Open(path, File::modeRead);
        return file.GetLength();
    } catch (const FileException&) {
        return 0;
    }
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

Resumption ResumeFrom(uint64_t keptBytes, const DownloadRequest& request) {
    // Kept bytes count only while there is more to ask for: a file that already
    // reaches the package's size (or its bound) can only be begun again.
    uint64_t bound = request.expectedSize ? request.expectedSize : request.largestSize;
    if (!request.resume || keptBytes == 0 || (bound && keptBytes >= bound)) return {};
    return {true, keptBytes};
}

namespace {

DownloadOutcome Download(file_fetch::Fetcher& server, const DownloadRequest& request, const Resumption& resumption,
                         const StopRequest& stop, WorkProgress& progress, bool& resumed) {
    file_fetch::Request asked;
    asked.ranged = resumption.ranged;
    asked.first = resumption.first;
    asked.fileSize = request.expectedSize ? request.expectedSize : file_fetch::kUnknown;
    asked.largest = request.expectedSize ? request.expectedSize
                                         : request.largestSize ? request.largestSize : file_fetch::kUnknown;
    if (stop.Requested()) return DownloadOutcome::Incomplete;

    File file;
    try {
        file.Open(request.targetPath, File::modeWrite | File::modeCreate | File::modeNoTruncate);
    } catch (const FileException& e) {
        return e.cause == FileException::diskFull ? DownloadOutcome::DiskFull : DownloadOutcome::Incomplete;
    }
    PackageFile sink(file, stop, progress);
    bool roomLacking = false;
    auto begins = [&](Answer kind, uint64_t length) {
        try {
            // A server that does not honour the range sends the package from its first
            // byte: what was kept goes.
            uint64_t at = kind == Answer::Partial ? resumption.first : 0;
            file.Seek(static_cast<int64_t>(at), File::begin);
            if (kind == Answer::Whole) file.Truncate();
            progress.done = at;
            if (length != file_fetch::kUnknown) {
                progress.total = at + length;
                uint64_t room = request.roomOnDisk ? request.roomOnDisk() : file_system::FreeBytes(FolderOf(request.targetPath));
                roomLacking = room < length;
            }
        } catch (const FileException&) {
            return false;
        }
        return !roomLacking;
    };
    Answer answer = server.Fetch(request.url, asked, stop, begins, sink);
    try {
        file.Close();
    } catch (const FileException&) {
        file.Abort();
        answer = Answer::Failed;
    }
    if (roomLacking || sink.diskFull) return DownloadOutcome::DiskFull;
    if (answer == Answer::TooLarge) {
        file_system::RemoveFile(request.targetPath);
        return DownloadOutcome::TooLarge;
    }
    if (answer != Answer::Whole && answer != Answer::Partial) return DownloadOutcome::Incomplete;
    resumed = answer == Answer::Partial;
    // Ended where the server said it would, and within the package's size.
    uint64_t size = KeptBytes(request.targetPath);
    if (request.expectedSize && size != request.expectedSize) return DownloadOutcome::Incomplete;
    return DownloadOutcome::Complete;
}

}  // namespace

DownloadResult DownloadPackage(file_fetch::Fetcher& server, const DownloadRequest& request, const StopRequest& stop,
                               WorkProgress& progress) {
    if (!request.resume) file_system::RemoveFile(request.targetPath);
    Resumption resumption = ResumeFrom(KeptBytes(request.targetPath), request);
    DownloadResult result;
    result.outcome = Download(server, request, resumption, stop, progress, result.resumed);
    return result;
}
