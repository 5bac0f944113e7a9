#include "framework/worker.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#endif

namespace {

void RunGuarded(const std::function<void()>& body) {
    try {
        body();
    } catch (...) {
        // The job reports through its outcome; an exception only ends it early.
    }
}

}  // namespace

bool RunWithin(unsigned milliseconds, std::function<void()> job) {
    JobThread thread;
    if (!thread.Start(std::move(job))) return false;
    if (thread.WaitForEnd(milliseconds)) return true;
    thread.LetGo();
    return false;
}

#if defined(_WIN32)

struct JobThread::Platform {
    HANDLE thread = nullptr;
};

namespace {

DWORD WINAPI RunBody(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    RunGuarded(*body);
    return 0;
}

}  // namespace

JobThread::JobThread() : platform_(new Platform) {}

JobThread::~JobThread() {
    if (!WaitForEnd(kWorkerStopMilliseconds)) CloseHandle(platform_->thread);
}

bool JobThread::Start(std::function<void()> body) {
    if (platform_->thread) return false;
    auto* owned = new std::function<void()>(std::move(body));
    platform_->thread = CreateThread(nullptr, 0, RunBody, owned, 0, nullptr);
    if (!platform_->thread) {
        delete owned;
        return false;
    }
    return true;
}

bool JobThread::IsRunning() const { return platform_->thread != nullptr; }

bool JobThread::HasEnded() const {
    return platform_->thread && WaitForSingleObject(platform_->thread, 0) == WAIT_OBJECT_0;
}

bool JobThread::WaitForEnd(unsigned milliseconds) {
    if (!platform_->thread) return true;
    if (WaitForSingleObject(platform_->thread, milliseconds) != WAIT_OBJECT_0) return false;
    CloseHandle(platform_->thread);
    platform_->thread = nullptr;
    return true;
}

void* JobThread::EndEvent() const { return platform_->thread; }

void JobThread::LetGo() {
    if (platform_->thread) CloseHandle(platform_->thread);
    platform_->thread = nullptr;
}

#else  // POSIX

namespace {

// Shared with the thread: it marks its end here, even after the owner let it go.
struct ThreadEnd {
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
};

struct Start {
    std::function<void()> body;
    std::shared_ptr<ThreadEnd> end;
};

void* RunBody(void* argument) {
    std::unique_ptr<Start> start(static_cast<Start*>(argument));
    RunGuarded(start->body);
    std::lock_guard<std::mutex> lock(start->end->mutex);
    start->end->ended = true;
    start->end->changed.notify_all();
    return nullptr;
}

}  // namespace

struct JobThread::Platform {
    pthread_t thread{};
    bool running = false;
    std::shared_ptr<ThreadEnd> end;
};

JobThread::JobThread() : platform_(new Platform) {}

JobThread::~JobThread() {
    if (!WaitForEnd(kWorkerStopMilliseconds)) pthread_detach(platform_->thread);
}

bool JobThread::Start(std::function<void()> body) {
    if (platform_->running) return false;
    auto end = std::make_shared<ThreadEnd>();
    auto* start = new ::Start{std::move(body), end};
    if (pthread_create(&platform_->thread, nullptr, RunBody, start) != 0) {
        delete start;
        return false;
    }
    platform_->end = end;
    platform_->running = true;
    return true;
}

bool JobThread::IsRunning() const { return platform_->running; }

bool JobThread::HasEnded() const {
    if (!platform_->running) return false;
    std::lock_guard<std::mutex> lock(platform_->end->mutex);
    return platform_->end->ended;
}

bool JobThread::WaitForEnd(unsigned milliseconds) {
    if (!platform_->running) return true;
    {
        std::unique_lock<std::mutex> lock(platform_->end->mutex);
        if (!platform_->end->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                              [this] { return platform_->end->ended; }))
            return false;
    }
    pthread_join(platform_->thread, nullptr);
    platform_->running = false;
    platform_->end.reset();
    return true;
}

void JobThread::LetGo() {
    if (!platform_->running) return;
    pthread_detach(platform_->thread);
    platform_->running = false;
    platform_->end.reset();
}

#endif
