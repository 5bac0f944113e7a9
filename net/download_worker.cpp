#include "net/download_worker.h"

namespace {

// How long a window that is going away waits for a transfer it asked to stop.
const DWORD kStopWaitMilliseconds = 5000;

DWORD WINAPI RunDownload(void* argument) {
    // The thread's own share of the job: it stays valid whatever the window does.
    std::unique_ptr<std::shared_ptr<DownloadJob>> share(static_cast<std::shared_ptr<DownloadJob>*>(argument));
    DownloadJob& job = **share;
    DownloadStatusCallback callback(job.window, job.cancelEvent.Get());
    HRESULT result = URLDownloadToFileA(nullptr, job.url.c_str(), job.targetPath.c_str(), 0, &callback);
    if (FAILED(result)) job.targetPath.clear();
    PostMessageA(job.window, WM_DOWNLOAD_DONE, 0, 0);
    return 0;
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

STDMETHODIMP DownloadStatusCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                                LPCWSTR statusText) {
    if (statusCode == 0 || statusCode > 24) statusCode = 25;
    if (window_) {
        DownloadProgress report = {progress, progressMax, statusCode, statusText};
        SendMessageA(window_, WM_DOWNLOAD_PROGRESS, 0, reinterpret_cast<LPARAM>(&report));
    }
    if (cancelEvent_ && WaitForSingleObject(cancelEvent_, 0) == WAIT_OBJECT_0) {
        SendMessageA(window_, WM_DOWNLOAD_PROGRESS, 0, 0);
        return E_ABORT;
    }
    return S_OK;
}

DownloadWorker::DownloadWorker() : job_(std::make_shared<DownloadJob>()) {}

DownloadWorker::~DownloadWorker() {
    if (!thread_) return;
    Cancel();
    WaitForSingleObject(thread_.Get(), kStopWaitMilliseconds);
}

bool DownloadWorker::Start(HWND window, const std::string& url, const std::string& targetPath) {
    if (thread_) return false;
    // A fresh block and event for every transfer: an earlier worker may still hold its own.
    auto job = std::make_shared<DownloadJob>();
    job->window = window;
    job->cancelEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    job->url = url;
    job->targetPath = targetPath;
    job_ = job;
    auto* share = new std::shared_ptr<DownloadJob>(job_);
    thread_.Reset(CreateThread(nullptr, 0, RunDownload, share, CREATE_SUSPENDED, nullptr));
    if (!thread_) {
        delete share;
        return false;
    }
    ResumeThread(thread_.Get());
    return true;
}

void DownloadWorker::Abandon() {
    Cancel();
    thread_.Reset();
}

void DownloadWorker::Cancel() {
    if (job_->cancelEvent) SetEvent(job_->cancelEvent.Get());
}

std::string DownloadWorker::Finish() {
    if (thread_) {
        // It has posted its end and is only returning.
        WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Reset();
    }
    return job_->targetPath;
}
