// The one way a page runs work away from its window's thread: the work runs
// on a thread of its own, no exception leaves that thread, its result is
// kept, and the page can ask whether it still runs or wait for it a bounded
// time. The worker tells the page it has ended through its report, which
// runs on the worker's thread and so may only post or send messages.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// How far a worker has got: written by the worker, shown by the page (when
// the worker's message arrives, or on a timer). Atomics: no lock, no torn
// 64-bit count.
struct CWorkerProgress {
    std::atomic<int64_t> m_nDone{0};
    std::atomic<int64_t> m_nTotal{0};
};

class CWorkerThread {
public:
    // The result of work that threw.
    static constexpr int kFailed = -1;

    CWorkerThread() = default;
    // A worker still running is left to end by itself.
    ~CWorkerThread() = default;
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts work on a new thread; report (may be empty) then runs on it with
    // work's result, or with kFailed when work threw. A worker started
    // earlier and still running goes on by itself. False when no thread could
    // be started; report is not called then. A worker given up before its
    // work ends runs cleanup (may be empty) instead of report.
    bool Start(std::function<int()> work, std::function<void(int)> report = {},
               std::function<void()> cleanup = {});
    bool IsRunning() const { return !Wait(0); }
    // True once the last worker started has ended (also when none was started).
    bool Wait(DWORD timeoutMs) const;
    // The last worker's result once it has ended; kFailed before.
    int GetResult() const;
    // The page stops waiting for the last worker. True when that worker had
    // already ended: its result and what it wrote are the page's. Otherwise
    // it is given up: it finishes alone and then runs its cleanup, and this
    // stays false. Either way the answer is final.
    bool Claim();
    // On a worker's thread: true once its page has given it up, so that it
    // shows the user nothing more.
    static bool IsGivenUp();
    // True once every worker started so far has ended, given up or not, at
    // the latest after timeoutMs; false when one still runs then.
    static bool WaitForAll(DWORD timeoutMs);

private:
    struct CState;
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    static void RunWork(std::shared_ptr<CState> pState);
    std::shared_ptr<CState> m_pState;
};
