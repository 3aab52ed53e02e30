#include "framework/WorkerThread.h"

namespace {
enum Phase { kRunning, kEnded, kGivenUp };
}

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
    ::ResumeThread(pState->m_hThread);
    return true;
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
    std::shared_ptr<CState> pState = std::move(*static_cast<std::shared_ptr<CState>*>(pParam));
    delete static_cast<std::shared_ptr<CState>*>(pParam);
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
    return 0;
}
