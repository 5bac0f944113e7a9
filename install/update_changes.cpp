#include "install/update_changes.h"

#include "net/http_text_client.h"
#include "release/file_list.h"
#include "release/release_signature.h"

namespace install {

ChangesResult FetchChanges(const ChangesRequest& request, const StopRequest& stop, WorkProgress& progress) {
    ChangesResult result;
    HttpTextClient client;
    std::string text;
    if (stop.Requested() || !client.FetchBody(request.fileListUrl, file_list::kLargestListBytes, text)) return result;
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
