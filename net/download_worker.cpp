#include "net/download_worker.h"

namespace {

void RunDownload(const std::shared_ptr<DownloadJob>& job) {
    DownloadStatusCallback callback(*job);
    HRESULT result = URLDownloadToFileA(nullptr, job->url.c_str(), job->targetPath.c_str(), 0, &callback);
    if (FAILED(result)) job->targetPath.clear();
}

}  // namespace

STDMETHODIMP DownloadStatusCallback::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
        *object = static_cast<IBindStatusCallback*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP DownloadStatusCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR) {
    // Only the data reports count bytes of the package.
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
        statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
        job_.received = progress;
        job_.total = progressMax;
    }
    if (WaitForSingleObject(job_.cancelEvent.Get(), 0) == WAIT_OBJECT_0) return E_ABORT;
    return S_OK;
}

DownloadWorker::DownloadWorker() : job_(std::make_shared<DownloadJob>()) {}

DownloadWorker::~DownloadWorker() {
    if (thread_.IsRunning() && !thread_.HasEnded()) SetEvent(job_->cancelEvent.Get());
}

bool DownloadWorker::Start(const std::string& url, const std::string& targetPath) {
    if (thread_.IsRunning()) return false;
    // A fresh job for every transfer: an abandoned worker may still hold its own.
    auto job = std::make_shared<DownloadJob>();
    job->cancelEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    job->url = url;
    job->targetPath = targetPath;
    job_ = job;
    return thread_.Start([job] { RunDownload(job); });
}

DownloadProgress DownloadWorker::Progress() const {
    DownloadProgress progress;
    progress.received = job_->received;
    progress.total = job_->total;
    return progress;
}

void DownloadWorker::Abandon() {
    if (job_->cancelEvent) SetEvent(job_->cancelEvent.Get());
    thread_.Detach();
}

std::string DownloadWorker::Finish() {
    thread_.Join();
    return job_->targetPath;
}
