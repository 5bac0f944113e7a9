// The package download runs on a worker thread with the system's URL download
// service, so that whoever drives the install (the setup window, or an update
// with no window at all) never waits on the network. The worker keeps its byte
// counts and its end in the job it shares with its owner, who reads them at its
// own pace; the owner's only way in is the cancel event.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/scoped.h"
#include "framework/worker_thread.h"

// What the transfer has delivered so far; a total of 0 is not known (the server
// sent no length).
struct DownloadProgress {
    unsigned long long received = 0;
    unsigned long long total = 0;
};

// Shared by the owner and the worker: each holds it, so it lives until the later
// of the two lets go, even when the owner gives up on a transfer that hangs.
struct DownloadJob {
    ScopedHandle cancelEvent;  // auto-reset
    std::string url;
    // Emptied by the worker when the download failed or was cancelled.
    std::string targetPath;
    std::atomic<unsigned long long> received{0};
    std::atomic<unsigned long long> total{0};
};

// Watches the transfer: counts the package's bytes, carries the cancel request into
// it, and ends it when a package asked for over https would come any other way. It
// offers no other service (no window, no security prompt): a certificate problem
// is a failed transfer, never a question.
class DownloadStatusCallback : public IBindStatusCallback {
 public:
    explicit DownloadStatusCallback(DownloadJob& job) : job_(job), location_(job.url) {}
    virtual ~DownloadStatusCallback() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    // Lives on the worker's stack: the count never deletes it.
    STDMETHODIMP_(ULONG) Release() override { return --references_; }
    STDMETHODIMP OnStartBinding(DWORD, IBinding* binding) override;
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override {
        binding_.Reset();
        return S_OK;
    }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    // Whether the transfer went somewhere a package asked for over https must not
    // come from: it has failed, whatever the download service says.
    bool Refused() const { return refused_; }

 private:
    // Whether the data now arriving comes over a connection the system calls secure.
    bool ArrivesSecurely() const;

    ULONG references_ = 1;
    DownloadJob& job_;
    ComPtr<IBinding> binding_;
    std::string location_;  // where the transfer is now, after any redirects
    bool secureSeen_ = false;
    bool refused_ = false;
};

// One download at a time: the thread, and the job it shares.
class DownloadWorker {
 public:
    DownloadWorker();
    // A transfer still running is asked to stop and given a few seconds to do so;
    // the program may then end with it.
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    // Starts fetching `url` into `targetPath`; false when the thread could not be
    // created (nothing runs then).
    bool Start(const std::string& url, const std::string& targetPath);
    bool IsRunning() const { return thread_.IsRunning(); }
    bool HasEnded() const { return thread_.HasEnded(); }
    // Signalled when the transfer has ended; valid while it runs.
    HANDLE EndEvent() const { return thread_.EndEvent(); }
    DownloadProgress Progress() const;
    // Asks the transfer to stop and stops waiting for it: a worker blocked inside
    // the download service may go on for a while, holding its own share of the job.
    void Abandon();
    // After the end: the file downloaded, or "" when the download failed.
    std::string Finish();

 private:
    std::shared_ptr<DownloadJob> job_;
    WorkerThread thread_;
};
