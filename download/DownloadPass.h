// The download pass: the marked package files of the run fetched from the
// chosen site, one after the other, by a worker that owns its list.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CPackageFile;
class CPackageInfo;
class CSetupRun;

// One package file as the download worker fetches it: its own copy of what
// it needs, and what came of it. The records are only named, for the
// outcome to be applied to when the pass ends; the worker never touches them.
struct CFileFetch {
    CPackageInfo* m_pPackage = nullptr;
    CPackageFile* m_pFile = nullptr;
    std::string m_strComponent, m_strSource, m_strUrl, m_strLocalPath;
    int64_t m_nPackedSize = 0;
    int32_t m_tDate = 0;
    std::string m_strSha256;
    // Where a file to install is decoded as soon as it is here (none for a
    // download only), and its size.
    std::string m_strUnpackedPath;
    int64_t m_nSize = 0;
    // Set by the worker once the file is here.
    bool m_bFetched = false;
    bool m_bCompressed = false;
    int64_t m_nPackageVersion = 0;
    int32_t m_tPackageTime = 0;
};

// What the download worker reports and a view shows. The worker writes
// nothing else, so a worker given up on a stalled server can outlive the
// view and the records.
struct CDownloadStatus {
    std::atomic<int64_t> m_nBytesReceived{0};
    // Of those, the bytes earlier transfers left, which took no time now.
    std::atomic<int64_t> m_nBytesResumed{0};
    // The part of m_nBytesResumed that the attempt under way went on from.
    int64_t m_nAttemptResumed = 0;
    // When the worker started; 0 while no estimate can be shown.
    std::atomic<time_t> m_tStart{0};
    // Between attempts at a file no estimate holds.
    std::atomic<bool> m_bRetryPause{false};
    // Attempts at one file before it is given up; 0: until a stop. A person
    // can Cancel a site that keeps failing; a run without one cannot.
    int m_nMaxAttempts = 0;
    // Written by the worker, read by others only once the worker has ended.
    std::vector<CFileFetch> m_fetches;
    // Signalled by Cancel: it ends the pause between attempts at once.
    HANDLE m_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    // The texts of the component and file lines.
    void SetTexts(const std::string& component, const std::string& file);
    void GetTexts(std::string& component, std::string& file);
    ~CDownloadStatus() { ::CloseHandle(m_hStop); }

private:
    std::mutex m_lock;
    std::string m_strComponent, m_strFile;
};

// Lists the files the run's packages still need from the chosen site (and
// counts their packages in m_nToDownload); their bytes in all.
int64_t ListPackageFetches(CSetupRun& run, CDownloadStatus& status);
// The worker's pass over the status record's files into folder; show is
// called when there is something new to show.
void RunDownloadPass(CSetupRun& run, CDownloadStatus& status, const std::string& folder,
                     const std::function<void()>& show);
// Told each chunk's size, and the bytes a transfer goes on from;
// pContext is the CDownloadStatus.
void OnDownloadProgress(void* pContext, int64_t nBytes, bool bAlreadyHere);
// Once the worker has ended: what arrived counts for its package records.
void ApplyDownloadOutcomes(CSetupRun& run, const CDownloadStatus& status);
