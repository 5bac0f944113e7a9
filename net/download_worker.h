// The package download runs on a worker thread with the system's URL download
// service, so that the setup window keeps painting. The worker reports progress by
// sending WM_DOWNLOAD_PROGRESS and its end by posting WM_DOWNLOAD_DONE; the only
// other shared state is the job block and an auto-reset cancel event.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>

const UINT WM_DOWNLOAD_PROGRESS = 2527;
const UINT WM_DOWNLOAD_DONE = 2528;

struct DownloadJob {
    HWND window = nullptr;
    HANDLE cancelEvent = nullptr;
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

// The worker thread's procedure; its argument is the window's DownloadJob.
DWORD WINAPI RunDownload(void* job);
