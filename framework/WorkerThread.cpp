#include "framework/WorkerThread.h"

// Shared by the page's object and the thread, so either may go first.
struct CWorkerThread::CState {
    ~CState() {
        if (m_hThread) ::CloseHandle(m_hThread);
    }
    HANDLE m_hThread = nullptr;
    std::atomic<int> m_nResult{kFailed};
    std::function<int()> m_work;
    std::function<void(int)> m_report;
};

bool CWorkerThread::Start(std::function<int()> work, std::function<void(int)> report) {
    auto pState = std::make_shared<CState>();
    pState->m_work = std::move(work);
    pState->m_report = std::move(report);
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

DWORD WINAPI CWorkerThread::ThreadProc(LPVOID pParam) {
    std::shared_ptr<CState> pState = std::move(*static_cast<std::shared_ptr<CState>*>(pParam));
    delete static_cast<std::shared_ptr<CState>*>(pParam);
    int result = kFailed;
    try {
        result = pState->m_work();
    } catch (...) {
        // A fault of the work ends it as failed, not the process.
    }
    pState->m_nResult = result;
    try {
        if (pState->m_report) pState->m_report(result);
    } catch (...) {
    }
    return 0;
}
