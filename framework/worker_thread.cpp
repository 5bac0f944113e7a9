#include "framework/worker_thread.h"

#include <memory>

namespace {

// How long an owner that goes away waits for a job it has asked to stop.
const DWORD kStopWaitMilliseconds = 5000;

DWORD WINAPI RunJob(void* argument) {
    std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(argument));
    try {
        (*job)();
    } catch (...) {
        // The job reports through its own state; an exception only ends it early.
    }
    return 0;
}

}  // namespace

WorkerThread::~WorkerThread() {
    if (thread_) WaitForSingleObject(thread_.Get(), kStopWaitMilliseconds);
}

bool WorkerThread::Start(std::function<void()> job) {
    if (thread_) return false;
    auto* owned = new std::function<void()>(std::move(job));
    thread_.Reset(CreateThread(nullptr, 0, RunJob, owned, 0, nullptr));
    if (!thread_) {
        delete owned;
        return false;
    }
    return true;
}

bool WorkerThread::HasEnded() const { return thread_ && WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0; }

void WorkerThread::Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
}
