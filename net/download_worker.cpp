#include "net/download_worker.h"

#include "framework/wininet_calls.h"
#include "net/server_address.h"

namespace {

void RunDownload(const std::shared_ptr<DownloadJob>& job) {
    DownloadStatusCallback callback(*job);
    HRESULT result = URLDownloadToFileA(nullptr, job->url.c_str(), job->targetPath.c_str(), 0, &callback);
    // A transfer the callback refused has failed even when the service finished it
    // regardless (Wine's goes on after an abort once the data has begun).
    if (FAILED(result) || callback.Refused()) job->targetPath.clear();
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

STDMETHODIMP DownloadStatusCallback::OnStartBinding(DWORD, IBinding* binding) {
    if (binding) binding->QueryInterface(IID_IBinding, binding_.ReceiveVoid());
    return S_OK;
}

bool DownloadStatusCallback::ArrivesSecurely() const {
    if (!binding_.Get()) return false;
    ComPtr<IWinInetInfo> info;
    if (FAILED(binding_->QueryInterface(IID_IWinInetInfo, info.ReceiveVoid()))) return false;
    DWORD flags = 0, size = sizeof(flags);
    return SUCCEEDED(info->QueryOption(INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) &&
           (flags & SECURITY_FLAG_SECURE) != 0;
}

STDMETHODIMP DownloadStatusCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                                LPCWSTR statusText) {
    if (refused_) return E_ABORT;
    // Windows names the new address before it follows a redirect: a package asked
    // for over https is never fetched in plain HTTP.
    if (statusCode == BINDSTATUS_REDIRECTING && statusText) {
        char target[2048] = "";
        WideCharToMultiByte(CP_ACP, 0, statusText, -1, target, sizeof(target), nullptr, nullptr);
        refused_ = !server_address::MayFollowRedirect(location_, target);
        if (refused_) return E_ABORT;
        location_ = target;
    }
    // Only the data reports count bytes of the package.
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
        statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
        // Not every URL service names a redirect before following it (Wine's does
        // not), so every https transfer also shows, as its data begins, that it
        // still comes over a secure connection.
        if (!secureSeen_ && server_address::SchemeOf(job_.url) == server_address::Scheme::Https) {
            refused_ = !ArrivesSecurely();
            if (refused_) return E_ABORT;
            secureSeen_ = true;
        }
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
