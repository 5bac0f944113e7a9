// One job on a thread of its own, whose end the owner can poll or wait for. The
// job's results travel in whatever state the owner shares with it; this class
// only starts it, tells when it has ended, and waits for it.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/scoped.h"

class WorkerThread {
 public:
    WorkerThread() = default;
    // Waits for a job still running: the owner has asked it to stop first.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False when the thread could not be created (nothing runs then). An
    // exception that leaves the job ends the job, not the program.
    bool Start(std::function<void()> job);
    bool IsRunning() const { return thread_.Valid(); }
    bool HasEnded() const;
    // Signalled once the job has returned; valid while the thread is held.
    HANDLE EndEvent() const { return thread_.Get(); }
    // Waits for the end and lets the thread go.
    void Join();
    // Lets the thread go without waiting: a job held inside a system call may go
    // on for a while, and whatever it shares it holds itself.
    void Detach() { thread_.Reset(); }

 private:
    ScopedHandle thread_;
};
