// The download pass: the marked package files of the run fetched by
// workers that own their list, several at once, each from the chosen site
// or, when it keeps failing there, from the other sites in turn.
#pragma once
#include "app/CommandLine.h"

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
    // m_strPath: the file's place below a site's address.
    std::string m_strComponent, m_strSource, m_strPath, m_strLocalPath;
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
    // The site's display text it came from.
    std::string m_strSite;
};

// A site a file may come from, in the order they are tried.
struct CSiteChoice {
    std::string m_strDisplay, m_strURL;
};

// What the download worker reports and a view shows. The worker writes
// nothing else, so a worker given up on a stalled server can outlive the
// view and the records.
struct CDownloadStatus {
    std::atomic<int64_t> m_nBytesReceived{0};
    // Of those, the bytes earlier transfers left, which took no time now.
    std::atomic<int64_t> m_nBytesResumed{0};
    // When the worker started; 0 while no estimate can be shown.
    std::atomic<time_t> m_tStart{0};
    // Files in flight, and those of them waiting between attempts: no
    // estimate holds while all of them wait.
    std::atomic<int> m_nInFlight{0};
    std::atomic<int> m_nRetryPauses{0};
    // A person can Cancel while every site fails; a run without one gives
    // a file up once every site failed it.
    bool m_bGiveUpAfterEverySite = false;
    // The chosen site first, then the others of its region, then the rest.
    std::vector<CSiteChoice> m_sites;
    // Transfers at once.
    int m_nConnections = 1;
    // Written by the workers, read by others only once the pass has ended.
    std::vector<CFileFetch> m_fetches;
    // Signalled by Cancel: it ends the pauses between attempts at once.
    HANDLE m_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    // A connection's file: its texts while it is in flight.
    void Begin(int nConnection, const std::string& component, const std::string& file);
    void SetFileText(int nConnection, const std::string& file);
    void End(int nConnection);
    // The texts of the file in flight longest; once none is, the last one's.
    void GetTexts(std::string& component, std::string& file);
    // A site that served other bytes than the publisher's is not asked again.
    void Distrust(size_t nSite);
    bool IsDistrusted(size_t nSite);
    // The next file for a worker to fetch; null once none is left.
    CFileFetch* Next();
    ~CDownloadStatus() { ::CloseHandle(m_hStop); }

private:
    struct CInFlight {
        uint64_t m_nSince = 0;  // 0: nothing in flight
        std::string m_strComponent, m_strFile;
    };
    std::mutex m_lock;
    uint64_t m_nBegun = 0;
    CInFlight m_inFlight[kMaxConnections];
    CInFlight m_last;
    std::vector<bool> m_distrusted;
    size_t m_nNext = 0;
};

// Lists the files the run's packages still need and the sites to fetch
// them from (and counts their packages in m_nToDownload); their bytes in all.
int64_t ListPackageFetches(CSetupRun& run, CDownloadStatus& status);
// The pass over the status record's files into folder, on m_nConnections
// workers (on the calling thread alone for one); show is called when there
// is something new to show.
void RunDownloadPass(CSetupRun& run, CDownloadStatus& status, const std::string& folder,
                     const std::function<void()>& show);

// Once the worker has ended: what arrived counts for its package records.
void ApplyDownloadOutcomes(CSetupRun& run, const CDownloadStatus& status);
