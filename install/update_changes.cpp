#include "install/update_changes.h"

#include "net/http_text_client.h"
#include "release/file_list.h"
#include "release/release_signature.h"

namespace install {

namespace {

// A list larger than this is not one: a release of ten thousand files lists in
// about a megabyte.
constexpr uint64_t kLargestList = 8u << 20;

}  // namespace

ChangesResult FetchChanges(const ChangesRequest& request, const StopRequest& stop, WorkProgress& progress) {
    ChangesResult result;
    HttpTextClient client;
    std::string text;
    if (stop.Requested() || !client.FetchBody(request.fileListUrl, kLargestList, text)) return result;
    progress.done = text.size();
    ChangesJob job;
    if (file_list::ReadList(text, release_signature::BuiltInPublicKey(), request.version, request.sha256, job.list) !=
        file_list::ListCheck::ok)
        return result;
    result.packageSize = job.list.packageSize;
    job.installedFolder = request.installedFolder;
    job.newFolder = request.newFolder;
    job.scratchPackage = request.scratchPackage;
    job.packageUrl = request.packageUrl;
    ChangeSummary summary;
    summary.bytesFetched = text.size();
    result.outcome = BuildFromChanges(job, client, stop, progress, summary);
    return result;
}

}  // namespace install
