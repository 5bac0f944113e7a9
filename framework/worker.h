// Work that takes time (a download, the ranges of an update, the unpacking) runs on
// a thread of its own, and every such worker has one shape:
//   - one stop request, which the job checks before every read and every write, so
//     that once the owner has asked, the job puts nothing more on the disk;
//   - one progress record, counted as the job goes (bytes as they are read, entries
//     as they begin), which the owner reads at its own pace;
//   - an outcome that says failed until the job returns another one (a job that
//     throws, or never ends, has failed);
//   - an owner that always waits for the thread to end: the wait is bounded, and a
//     job that does not end within it makes the whole run fail, so that nothing else
//     writes while it might still write. A writer is never detached.
// Portable: the native tests run the same workers with jobs of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class StopRequest {
 public:
    void Request() { requested_ = true; }
    bool Requested() const { return requested_; }

 private:
    std::atomic<bool> requested_{false};
};

// What a job has done, in its own unit, and how much there is in all (0 while not known).
struct WorkProgress {
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};
};

// One thread running one function, whose end can be waited for with a bound.
class JobThread {
 public:
    JobThread();
    // Waits for the end with the bound below; a thread that has not ended by then is
    // let go, which only the end of the process (or of a test) may leave behind.
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // False when the thread could not be created (nothing runs then). An exception
    // that leaves `body` ends the thread, not the program.
    bool Start(std::function<void()> body);
    bool IsRunning() const;
    bool HasEnded() const;
    // Waits up to `milliseconds` for the end; true, with the thread let go, when it
    // came (or nothing runs).
    bool WaitForEnd(unsigned milliseconds);
#if defined(_WIN32)
    // Signalled once the thread has ended; valid while it runs.
    void* EndEvent() const;
#endif
    // Stops waiting for the thread, which goes on alone. Only for a body that writes
    // nothing and holds nothing but what it owns (a request whose answer is text in
    // memory): a writer is never let go.
    void LetGo();

 private:
    struct Platform;
    std::unique_ptr<Platform> platform_;
};

// For work that writes nothing (a request whose answer is text in memory), bounded
// as a whole: runs `job` on a thread of its own and waits for it up to
// `milliseconds`. True when it ended within them; a job that has not is let go
// (JobThread::LetGo), so it must own whatever it uses. A server may trickle its
// headers or its body a byte at a time, which no time-out of a single read catches.
bool RunWithin(unsigned milliseconds, std::function<void()> job);

// How long an owner waits for a job it has asked to stop: longer than a read that
// has just begun may take (see the HTTP client's time-outs).
constexpr unsigned kWorkerStopMilliseconds = 20000;

template <typename Outcome>
class Worker {
 public:
    using Job = std::function<Outcome(const StopRequest& stop, WorkProgress& progress)>;

    // `failed` is the outcome while the job has not returned one.
    explicit Worker(Outcome failed) : failed_(failed), state_(std::make_shared<State>(failed)) {}
    ~Worker() { Stop(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // False when a job runs already or the thread could not be created.
    bool Start(Job job) {
        if (thread_.IsRunning()) return false;
        auto state = std::make_shared<State>(failed_);
        state_ = state;
        return thread_.Start([state, job] { state->outcome = job(state->stop, state->progress); });
    }
    bool IsRunning() const { return thread_.IsRunning(); }
    bool HasEnded() const { return thread_.HasEnded(); }
#if defined(_WIN32)
    void* EndEvent() const { return thread_.EndEvent(); }
#endif
    uint64_t Done() const { return state_->progress.done; }
    uint64_t Total() const { return state_->progress.total; }
    // Asks the job to stop and waits for it, up to `milliseconds`: false when it is
    // still running then, and the run it belongs to must fail as a whole.
    bool Stop(unsigned milliseconds = kWorkerStopMilliseconds) {
        if (!thread_.IsRunning()) return true;
        state_->stop.Request();
        return thread_.WaitForEnd(milliseconds);
    }
    // Waits for the job's end (bounded, as Stop) and returns its outcome: `failed`
    // when it did not end.
    Outcome Finish(unsigned milliseconds = kWorkerStopMilliseconds) {
        if (thread_.IsRunning() && !thread_.WaitForEnd(milliseconds)) return failed_;
        return state_->outcome;
    }

 private:
    // Shared with the thread, so that it lives as long as either of them.
    struct State {
        explicit State(Outcome failed) : outcome(failed) {}
        StopRequest stop;
        WorkProgress progress;
        Outcome outcome;
    };
    const Outcome failed_;
    std::shared_ptr<State> state_;
    JobThread thread_;
};
