// Compressed package files decoded into the temporary folder while the
// download goes on, so that the install finds them decoded and only waits
// for what is left.
#pragma once
#include "install/FileHash.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CUnpackAhead {
public:
    CUnpackAhead() = default;
    ~CUnpackAhead() { Stop(); }
    CUnpackAhead(const CUnpackAhead&) = delete;
    CUnpackAhead& operator=(const CUnpackAhead&) = delete;

    // Decodes sourcePath into outputPath (both full paths) on a worker of its
    // own, into at most limit bytes, once the file's hash is sha256 (when one
    // is given) through a handle that keeps it unchanged meanwhile. Ignored
    // after Stop.
    void Add(const std::string& sourcePath, const std::string& sha256, const std::string& outputPath,
             uint64_t limit);
    // True when outputPath holds the whole decoded copy: it is the caller's
    // from then on, and held goes on holding it as it was held since its
    // decoding ended, unchanged. False when it was never added or failed (the
    // caller decodes it itself, and so reaches the same verdict). A decode not
    // yet ended is waited for by calling wait with an event that is set
    // whenever one ends.
    bool Take(const std::string& outputPath, const std::function<void(HANDLE)>& wait, CPinnedFiles& held);
    // Begins no further file, waits for those under way, and deletes every
    // copy nobody took.
    void Stop();

private:
    enum class EState { kQueued, kRunning, kDecoded, kFailed, kTaken };
    struct CJob {
        std::string m_strSourcePath, m_strSha256;
        uint64_t m_nLimit = 0;
        EState m_state = EState::kQueued;
        bool m_bAddedAgain = false;  // the source changed while it was decoded
        // The decoded copy, writes and deletes shut out from the end of its decoding.
        HANDLE m_hHeld = INVALID_HANDLE_VALUE;
    };
    static void LetGo(CJob& job);
    bool HasWorkers();
    void Work();

    std::mutex m_lock;
    std::condition_variable m_queued;
    std::map<std::string, CJob> m_jobs;  // by output path
    std::deque<std::string> m_queue;
    std::vector<std::thread> m_workers;
    HANDLE m_hEnded = nullptr;
    bool m_bStopped = false;
};
