#include "framework/WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
enum Phase { kRunning, kEnded, kGivenUp };

// The workers that have not ended yet, over the whole program.
struct CRunningWorkers {
    std::mutex m_lock;
    std::condition_variable m_noneRunning;
    int m_nCount = 0;
};

CRunningWorkers& RunningWorkers() {
    // Never destroyed: a worker given up at the program's end may still end
    // after the static objects are gone.
    static auto* pWorkers = new CRunningWorkers;
    return *pWorkers;
}

// A worker counted in (+1) or out (-1).
void CountRunning(int delta) {
    CRunningWorkers& workers = RunningWorkers();
    std::lock_guard<std::mutex> guard(workers.m_lock);
    workers.m_nCount += delta;
    if (workers.m_nCount == 0) workers.m_noneRunning.notify_all();
}
}  // namespace

// Shared by the page's object and the thread, so either may go first. The
// phase is settled by one exchange on each side, so exactly one of them
// learns that the other was first.
struct CWorkerThread::CState {
    ~CState() {
        if (m_hThread) ::CloseHandle(m_hThread);
    }
    HANDLE m_hThread = nullptr;
    std::atomic<int> m_nResult{kFailed};
    std::function<int()> m_work;
    std::function<void(int)> m_report;
    std::function<void()> m_cleanup;
    std::atomic<int> m_nPhase{kRunning};
};

static thread_local const std::atomic<int>* t_pPhase = nullptr;

bool CWorkerThread::Start(std::function<int()> work, std::function<void(int)> report,
                          std::function<void()> cleanup) {
    auto pState = std::make_shared<CState>();
    pState->m_work = std::move(work);
    pState->m_report = std::move(report);
    pState->m_cleanup = std::move(cleanup);
    // The thread owns one reference until it ends.
    auto* pThreadRef = new std::shared_ptr<CState>(pState);
    pState->m_hThread = ::CreateThread(nullptr, 0, ThreadProc, pThreadRef, CREATE_SUSPENDED, nullptr);
    if (!pState->m_hThread) {
        delete pThreadRef;
        return false;
    }
    m_pState = pState;
    CountRunning(+1);
    ::ResumeThread(pState->m_hThread);
    return true;
}

bool CWorkerThread::WaitForAll(DWORD timeoutMs) {
    CRunningWorkers& workers = RunningWorkers();
    std::unique_lock<std::mutex> lock(workers.m_lock);
    return workers.m_noneRunning.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [&] { return workers.m_nCount == 0; });
}

bool CWorkerThread::Wait(DWORD timeoutMs) const {
    return !m_pState || ::WaitForSingleObject(m_pState->m_hThread, timeoutMs) == WAIT_OBJECT_0;
}

int CWorkerThread::GetResult() const { return m_pState ? m_pState->m_nResult.load() : kFailed; }

bool CWorkerThread::Claim() {
    if (!m_pState) return false;
    int phase = kRunning;
    return !m_pState->m_nPhase.compare_exchange_strong(phase, kGivenUp) && phase == kEnded;
}

bool CWorkerThread::IsGivenUp() { return t_pPhase && *t_pPhase == kGivenUp; }

DWORD WINAPI CWorkerThread::ThreadProc(LPVOID pParam) {
    RunWork(std::move(*static_cast<std::shared_ptr<CState>*>(pParam)));
    delete static_cast<std::shared_ptr<CState>*>(pParam);
    // Only once the thread has let go of the work and its state: whoever
    // waits for every worker then waits for all that they do.
    CountRunning(-1);
    return 0;
}

void CWorkerThread::RunWork(std::shared_ptr<CState> pState) {
    t_pPhase = &pState->m_nPhase;
    int result = kFailed;
    try {
        result = pState->m_work();
    } catch (...) {
        // A fault of the work ends it as failed, not the process.
    }
    pState->m_nResult = result;
    int phase = kRunning;
    const bool bGivenUp = !pState->m_nPhase.compare_exchange_strong(phase, kEnded);
    try {
        if (bGivenUp && pState->m_cleanup) pState->m_cleanup();
        if (!bGivenUp && pState->m_report) pState->m_report(result);
    } catch (...) {
    }
    t_pPhase = nullptr;
}
