// The package download runs on a worker thread with the system's URL download
// service, so that the setup window keeps painting. The worker reports progress by
// sending WM_DOWNLOAD_PROGRESS and its end by posting WM_DOWNLOAD_DONE to the
// window it was started for; the only other shared state is the job block, whose
// cancel event the window sets and the worker polls.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <memory>
#include <string>

#include "framework/scoped.h"

const UINT WM_DOWNLOAD_PROGRESS = 2527;
const UINT WM_DOWNLOAD_DONE = 2528;

// Shared by the window's thread and the worker: each holds it, so it lives until
// the later of the two lets go, even when the window ends first.
struct DownloadJob {
    HWND window = nullptr;
    ScopedHandle cancelEvent;  // auto-reset
    std::string url;
    // Emptied by the worker when the download failed or was cancelled.
    std::string targetPath;
};

struct DownloadProgress {
    unsigned progress;
    unsigned progressMax;
    unsigned statusCode;  // 1 to 24, or 25 for anything else
    const wchar_t* statusText;
};

// Watches the transfer and carries the cancel request into it.
class DownloadStatusCallback : public IBindStatusCallback {
 public:
    DownloadStatusCallback(HWND window, HANDLE cancelEvent) : window_(window), cancelEvent_(cancelEvent) {}
    virtual ~DownloadStatusCallback() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    // Lives on the worker's stack: the count never deletes it.
    STDMETHODIMP_(ULONG) Release() override { return --references_; }
    STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
    ULONG references_ = 1;
    HWND window_;
    HANDLE cancelEvent_;
};

// One download at a time: the thread, and the job block it shares.
class DownloadWorker {
 public:
    DownloadWorker();
    // A transfer still running is asked to stop and given a few seconds to do so;
    // the program may then end with it.
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    // Starts fetching `url` into `targetPath` for `window`; false when the thread
    // could not be created (nothing runs then).
    bool Start(HWND window, const std::string& url, const std::string& targetPath);
    bool IsRunning() const { return thread_.Valid(); }
    // Asks the running transfer to stop; its WM_DOWNLOAD_DONE still follows.
    void Cancel();
    // Asks the transfer to stop and stops waiting for it: a worker blocked inside
    // the download service may go on for a while, holding its own share of the job.
    void Abandon();
    // After WM_DOWNLOAD_DONE: waits for the thread's end and returns the file
    // downloaded, or "" when the download failed or was cancelled.
    std::string Finish();

 private:
    std::shared_ptr<DownloadJob> job_;
    ScopedHandle thread_;
};
