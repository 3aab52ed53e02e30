#include "install/UnpackAhead.h"

#include "install/FileHash.h"
#include "install/PackageFile.h"

#include <algorithm>

void CUnpackAhead::Add(const std::string& sourcePath, const std::string& sha256, const std::string& outputPath,
                       uint64_t limit) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bStopped || !HasWorkers()) return;
    const auto [found, bNew] = m_jobs.try_emplace(outputPath);
    CJob& job = found->second;
    const bool bRunning = job.m_state == EState::kRunning;
    const bool bQueued = !bNew && job.m_state == EState::kQueued;
    job.m_strSourcePath = sourcePath;
    job.m_strSha256 = sha256;
    job.m_nLimit = limit;
    if (bRunning) {
        job.m_bAddedAgain = true;
        return;
    }
    // A copy decoded from the source before it changed is decoded again.
    LetGo(job);
    job.m_state = EState::kQueued;
    if (!bQueued) m_queue.push_back(outputPath);
    m_queued.notify_one();
}

void CUnpackAhead::LetGo(CJob& job) {
    if (job.m_hHeld != INVALID_HANDLE_VALUE) ::CloseHandle(job.m_hHeld);
    job.m_hHeld = INVALID_HANDLE_VALUE;
}

// Without a worker nothing is added: the install decodes every file itself.
bool CUnpackAhead::HasWorkers() {
    // The download keeps a core: the others decode.
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency() - 1);
    if (!m_hEnded) m_hEnded = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    try {
        while (m_hEnded && m_workers.size() < workers) m_workers.emplace_back(&CUnpackAhead::Work, this);
    } catch (...) {
    }
    return !m_workers.empty();
}

void CUnpackAhead::Work() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_queued.wait(lock, [this] { return m_bStopped || !m_queue.empty(); });
        if (m_bStopped) return;
        const std::string outputPath = m_queue.front();
        m_queue.pop_front();
        CJob& job = m_jobs[outputPath];
        job.m_state = EState::kRunning;
        const CJob work = job;
        lock.unlock();
        HANDLE hHeld = INVALID_HANDLE_VALUE;
        try {
            // Pinned: the download folder is open to other accounts.
            CPinnedFiles pinned;
            if ((work.m_strSha256.empty() || pinned.Pin(work.m_strSourcePath, work.m_strSha256)) &&
                UnpackPackagePath(work.m_strSourcePath, outputPath, 1, work.m_nLimit))
                hHeld = OpenHeld(outputPath);
        } catch (...) {
        }
        lock.lock();
        CJob& ended = m_jobs[outputPath];
        ended.m_hHeld = hHeld;
        ended.m_state = hHeld != INVALID_HANDLE_VALUE ? EState::kDecoded : EState::kFailed;
        if (ended.m_bAddedAgain) {
            LetGo(ended);
            ended.m_bAddedAgain = false;
            ended.m_state = EState::kQueued;
            m_queue.push_back(outputPath);
        }
        ::SetEvent(m_hEnded);
    }
}

bool CUnpackAhead::Take(const std::string& outputPath, const std::function<void(HANDLE)>& wait, CPinnedFiles& held) {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        const auto found = m_jobs.find(outputPath);
        if (found == m_jobs.end()) return false;
        CJob& job = found->second;
        switch (job.m_state) {
        case EState::kQueued:
        case EState::kRunning:
            lock.unlock();
            wait(m_hEnded);
            lock.lock();
            continue;
        case EState::kDecoded:
            job.m_state = EState::kTaken;
            held.Adopt(job.m_hHeld);
            job.m_hHeld = INVALID_HANDLE_VALUE;
            return true;
        default:
            m_jobs.erase(found);
            return false;
        }
    }
}

void CUnpackAhead::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStopped = true;
        m_queue.clear();
    }
    m_queued.notify_all();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
    // A copy added again while it was decoded waits in the queue with its first decode on disk.
    for (auto& entry : m_jobs) {
        LetGo(entry.second);
        if (entry.second.m_state != EState::kTaken) ::DeleteFileA(entry.first.c_str());
    }
    m_jobs.clear();
    if (m_hEnded) ::CloseHandle(m_hEnded);
    m_hEnded = nullptr;
}
