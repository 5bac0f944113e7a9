#include "install/changes_worker.h"

#include "net/http_text_client.h"
#include "release/file_list.h"
#include "release/release_signature.h"

namespace install {

namespace {

// A list larger than this is not one: a release of ten thousand files lists in
// about a megabyte.
constexpr uint64_t kLargestList = 8u << 20;

// The package on the vendor's file server, asked for by byte ranges; a server that
// answers with the whole file, or anything but the bytes asked for, is a doubt.
class ServedPackage : public PackageRanges {
    static_assert(kLargestRange <= HttpTextClient::kMaxRangeBytes, "the client takes every range the update asks for");

 public:
    ServedPackage(HttpTextClient& client, const std::string& url, const std::atomic<bool>& stop)
        : client_(client), url_(url), stop_(stop) {}
    bool Fetch(uint64_t first, uint64_t last, std::string& bytes) override {
        return !stop_ && client_.FetchRange(url_, first, last, bytes) == HttpTextClient::RangeAnswer::Partial;
    }

 private:
    HttpTextClient& client_;
    const std::string& url_;
    const std::atomic<bool>& stop_;
};

}  // namespace

ChangesWorker::ChangesWorker() : job_(std::make_shared<Job>()) {}

ChangesWorker::~ChangesWorker() { job_->stop = true; }

void ChangesWorker::Run(Job& job) {
    const ChangesRequest& request = job.request;
    HttpTextClient client;
    std::string text;
    if (!client.FetchBody(request.fileListUrl, kLargestList, text)) return;
    job.fetched = text.size();
    file_list::FileList list;
    if (file_list::ReadList(text, release_signature::BuiltInPublicKey(), request.version, request.sha256, list) !=
        file_list::ListCheck::ok)
        return;
    ServedPackage package(client, request.packageUrl, job.stop);
    ChangeSummary summary;
    summary.bytesFetched = text.size();
    job.whole = BuildFromChanges(list, request.installedFolder, request.newFolder, request.scratchPackage, package,
                                 [&job](uint64_t fetched, uint64_t toFetch) {
                                     job.fetched = fetched;
                                     job.toFetch = toFetch;
                                 },
                                 summary);
    job.fetched = summary.bytesFetched;
}

bool ChangesWorker::Start(const ChangesRequest& request) {
    if (thread_.IsRunning()) return false;
    auto job = std::make_shared<Job>();
    job->request = request;
    job_ = job;
    return thread_.Start([job] { Run(*job); });
}

void ChangesWorker::Progress(uint64_t& fetched, uint64_t& toFetch) const {
    fetched = job_->fetched;
    toFetch = job_->toFetch;
}

void ChangesWorker::Abandon() {
    job_->stop = true;
    thread_.Detach();
}

bool ChangesWorker::Finish() {
    thread_.Join();
    return job_->whole;
}

}  // namespace install
