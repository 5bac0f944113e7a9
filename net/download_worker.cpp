#include "net/download_worker.h"

#include "app/install_paths.h"
#include "app/setup_app.h"
#include "setup_ui/setup_dialog.h"

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

DWORD WINAPI RunDownload(void* argument) {
    DownloadJob* job = static_cast<DownloadJob*>(argument);
    DownloadStatusCallback callback(job->window, job->cancelEvent);
    HRESULT result = URLDownloadToFileA(nullptr, job->url.c_str(), job->targetPath.c_str(), 0, &callback);
    if (FAILED(result)) job->targetPath.clear();
    PostMessageA(job->window, WM_DOWNLOAD_DONE, 0, 0);
    return 0;
}

BOOL SetupDialog::StartDownload(const std::string& url) {
    Sleep(100);
    ++stepCounter;
    InvalidateRect(hwnd_, nullptr, TRUE);
    packagePath.clear();
    if (workerThread) {
        cancelRequested = true;
        SetEvent(cancelEvent);
        Sleep(500);
        ++stepCounter;
        InvalidateRect(hwnd_, nullptr, TRUE);
        return TRUE;
    }
    SetupApp& app = SetupApp::Get();
    job.window = hwnd_;
    ResetEvent(cancelEvent);
    job.cancelEvent = cancelEvent;
    job.url = url;
    job.targetPath = install_paths::PackagePath(app.programFilesPath, app.manifestVersion);
    // The tree was made for the version's first four characters; a longer version
    // text downloads into a folder of its own, which has to exist first.
    std::string versionFolder = install_paths::VersionFolder(app.programFilesPath, app.manifestVersion);
    CreateDirectoryA(versionFolder.c_str(), nullptr);
    CreateDirectoryA((versionFolder + "\\TEMP").c_str(), nullptr);
    DeleteFileA(job.targetPath.c_str());  // a left-over of an earlier attempt
    cancelRequested = false;
    workerThread = CreateThread(nullptr, 0, RunDownload, &job, CREATE_SUSPENDED, nullptr);
    if (!workerThread) {
        MessageBoxA(hwnd_, "THREAD 를 생성할 수 없습니다.", "Velmora 업데이트", MB_ICONERROR);
        return FALSE;
    }
    ResumeThread(workerThread);
    return TRUE;
}

bool SetupDialog::OnDownloadDone(WPARAM, LPARAM, LRESULT& result) {
    packagePath.clear();
    if (workerThread) {
        DWORD code = 0;
        if (GetExitCodeThread(workerThread, &code) && code == STILL_ACTIVE)
            WaitForSingleObject(workerThread, INFINITE);  // it has posted and is only ending
        CloseHandle(workerThread);
        workerThread = nullptr;
    }
    result = 0;
    if (!job.targetPath.empty()) {
        packagePath = job.targetPath;
        UnpackPackage();
    } else if (!cancelRequested) {
        Fail("Velmora 2.0 설치 파일을 내려받지 못했습니다.\n"
             "인터넷 연결을 확인한 후 설치를 다시 시작해 주십시오.");
    }
    cancelRequested = false;
    return true;
}
