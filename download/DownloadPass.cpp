#include "download/DownloadPass.h"

#include "app/PathText.h"
#include "app/SetupRun.h"
#include "download/HttpTransfer.h"
#include "download/ProgressText.h"
#include "framework/WorkerThread.h"
#include "install/FileSelection.h"
#include "install/PackageInfo.h"

#include <sys/utime.h>

#include <algorithm>

void CDownloadStatus::Begin(int nConnection, const std::string& component, const std::string& file) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_inFlight[nConnection] = {++m_nBegun, component, file};
}

void CDownloadStatus::SetFileText(int nConnection, const std::string& file) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_inFlight[nConnection].m_strFile = file;
}

void CDownloadStatus::End(int nConnection) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_last = m_inFlight[nConnection];
    m_inFlight[nConnection].m_nSince = 0;
}

void CDownloadStatus::GetTexts(std::string& component, std::string& file) {
    std::lock_guard<std::mutex> guard(m_lock);
    const CInFlight* pShown = &m_last;
    for (const CInFlight& inFlight : m_inFlight)
        if (inFlight.m_nSince != 0 && (pShown == &m_last || inFlight.m_nSince < pShown->m_nSince)) pShown = &inFlight;
    component = pShown->m_strComponent;
    file = pShown->m_strFile;
}

void CDownloadStatus::Distrust(size_t nSite) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_distrusted.size() <= nSite) m_distrusted.resize(nSite + 1);
    m_distrusted[nSite] = true;
}

bool CDownloadStatus::IsDistrusted(size_t nSite) {
    std::lock_guard<std::mutex> guard(m_lock);
    return nSite < m_distrusted.size() && m_distrusted[nSite];
}

CFileFetch* CDownloadStatus::Next() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nNext < m_fetches.size() ? &m_fetches[m_nNext++] : nullptr;
}

namespace {

// The chosen site, then the other sites of its region, then those of the
// other regions, each in the sites list's order.
std::vector<CSiteChoice> SitesInTurn(const CSetupRun& run) {
    std::vector<CSiteChoice> sites;
    const CDownloadSite* pChosen = run.m_pSelectedSite;
    if (!pChosen) return sites;
    sites.push_back({pChosen->m_strDisplay, pChosen->m_strURL});
    for (bool bSameRegion : {true, false})
        for (const CDownloadSite* pSite : run.m_listSites)
            if ((pSite->m_nRegion == pChosen->m_nRegion) == bSameRegion && pSite->m_strURL != pChosen->m_strURL)
                sites.push_back({pSite->m_strDisplay, pSite->m_strURL});
    return sites;
}

}  // namespace

int64_t ListPackageFetches(CSetupRun& run, CDownloadStatus& status) {
    run.m_nToDownload = run.m_nPackagesToDownload;
    status.m_sites = SitesInTurn(run);
    status.m_nConnections = run.m_nConnections;
    int64_t total = 0;
    for (const auto& entry : run.m_mapPackages) {
        CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo || package.m_nFilesToDownload == 0) continue;
        size_t index = 0;
        for (CPackageFile* pFile : package.m_listFiles) {
            const size_t fileIndex = index++;
            if (!pFile->m_bDownload) continue;
            total += pFile->m_nPackedSize;
            CFileFetch fetch;
            fetch.m_pPackage = &package;
            fetch.m_pFile = pFile;
            fetch.m_strComponent = "Downloading " + package.m_pComponent->m_strName + "...";
            fetch.m_strSource = pFile->m_strSource;
            const bool bSourceDir = pFile->m_pSource && !pFile->m_pSource->empty();
            fetch.m_strPath = (bSourceDir ? JoinUrl(*pFile->m_pSource, "") : "") + pFile->m_strSource;
            fetch.m_strLocalPath = run.m_strDownloadDir + pFile->m_strSource;
            fetch.m_nPackedSize = pFile->m_nPackedSize;
            fetch.m_tDate = pFile->m_tDate;
            fetch.m_strSha256 = pFile->m_strSha256;
            if (!run.m_nDownloadOnly && pFile->m_bInstall) {
                fetch.m_strUnpackedPath = package.GetUnpackedPath(fileIndex, *pFile);
                fetch.m_nSize = pFile->m_nSize;
            }
            status.m_fetches.push_back(fetch);
        }
    }
    return total;
}

namespace {

// Attempts at a file on one site before the next site is asked.
constexpr int kAttemptsPerSite = 3;

// What a failed attempt says of the site and the file.
enum class EVerdict { kFetched, kTryAgain, kNextSite, kDistrustSite, kGiveUp };

// Not creatable, not writable, or no proxy login: no site would do better.
// Longer than promised, other bytes than the publisher's, or ended short by
// the server's own account: this site would answer the same again.
EVerdict VerdictOf(int result, int64_t got, int64_t size) {
    if (result == -4 || result == -7) return EVerdict::kGiveUp;
    if (result == -6) return EVerdict::kDistrustSite;
    if (result == -5 || (result > 0 && got < size)) return EVerdict::kNextSite;
    return result > 0 ? EVerdict::kFetched : EVerdict::kTryAgain;
}

// One transfer's share of the status: the bytes it went on from count as
// there, not as speed.
struct CTransferProgress {
    CDownloadStatus& m_status;
    int64_t m_nResumed = 0;
};

void OnDownloadProgress(void* pContext, int64_t nBytes, bool bAlreadyHere) {
    auto& transfer = *static_cast<CTransferProgress*>(pContext);
    transfer.m_status.m_nBytesReceived += nBytes;
    if (!bAlreadyHere) return;
    transfer.m_status.m_nBytesResumed += nBytes;
    transfer.m_nResumed = nBytes;
}

// The file's address on a site, as the sites list and its package info name it.
std::string AddressAt(const CSiteChoice& site, const CFileFetch& fetch) {
    return JoinUrl(site.m_strURL, "") + fetch.m_strPath;
}

// The fetched file as the install reads it: dated as the package info says.
bool TakeFetched(CFileFetch& fetch) {
    const int kind = ProbeDownloadedFile(fetch.m_strLocalPath, fetch.m_nPackageVersion, fetch.m_tPackageTime);
    if (kind == DOWNLOADED_NONE) return false;
    fetch.m_bCompressed = kind == DOWNLOADED_COMPRESSED;
    // An undated file keeps the time it arrived at: stamped with time 0 it
    // would count as unreadable and be fetched again.
    if (!fetch.m_bCompressed && fetch.m_tDate != 0) {
        fetch.m_tPackageTime = fetch.m_tDate;
        _utimbuf times{fetch.m_tDate, fetch.m_tDate};
        _utime(fetch.m_strLocalPath.c_str(), &times);
    }
    return true;
}

// One connection's file: attempts at the chosen site, then at the others in
// turn, until it arrives, a failure no site can cure, or a stop. A failure
// that may pass (no connection, an error status, a broken or stalled read, a
// file gone after its transfer) is tried again at the same site after a
// pause that grows, so that a site that keeps failing is not hammered;
// Cancel ends the pause. Once every site failed, a person's run goes round
// again if any failure may pass; a run without a person gives the file up.
bool FetchFile(CSetupRun& run, CDownloadStatus& status, const std::function<void()>& show, CFileFetch& fetch,
               int nConnection) {
    status.Begin(nConnection, fetch.m_strComponent, fetch.m_strSource);
    int failed = 0;
    for (int round = 0;; ++round) {
        // A round in which no site failed in a way that may pass ends the file.
        bool bMayPass = false;
        for (size_t nSite = 0; nSite < status.m_sites.size(); ++nSite) {
            if (status.IsDistrusted(nSite)) continue;
            const CSiteChoice& site = status.m_sites[nSite];
            const std::string url = AddressAt(site, fetch);
            // Named once the file leaves the chosen site.
            const std::string shown = nSite == 0 ? fetch.m_strSource : fetch.m_strSource + " from " + site.m_strDisplay;
            run.m_log.Write("Package file " + fetch.m_strSource + ": fetching from " + site.m_strDisplay);
            for (int here = 1; here <= kAttemptsPerSite; ++here) {
                if (run.m_bStopDownload) return false;
                status.SetFileText(nConnection, shown);
                CTransferProgress transfer{status};
                int64_t got = 0;
                const int result = run.DownloadPackageFile(url, fetch.m_strLocalPath, fetch.m_nPackedSize, &transfer,
                                                           OnDownloadProgress, &got, fetch.m_strSha256);
                const EVerdict verdict = VerdictOf(result, got, fetch.m_nPackedSize);
                if (verdict == EVerdict::kFetched && TakeFetched(fetch)) {
                    fetch.m_strSite = site.m_strDisplay;
                    return true;
                }
                status.m_nBytesReceived -= got;
                status.m_nBytesResumed -= transfer.m_nResumed;
                if (verdict == EVerdict::kGiveUp) return false;
                if (verdict == EVerdict::kDistrustSite) status.Distrust(nSite);
                ++failed;
                if (verdict == EVerdict::kDistrustSite || verdict == EVerdict::kNextSite) break;
                bMayPass = true;
                if (run.m_bStopDownload) return false;
                // The next site is asked at once; after the last one a person's run pauses, then goes round again.
                const bool bLastSite = nSite + 1 == status.m_sites.size();
                if (here == kAttemptsPerSite && (!bLastSite || status.m_bGiveUpAfterEverySite)) break;
                const unsigned pauseMs = RetryPauseMs(round * kAttemptsPerSite + here);
                status.SetFileText(nConnection, FormatRetryText(shown, failed, pauseMs));
                ++status.m_nRetryPauses;
                show();
                const bool bStopped = ::WaitForSingleObject(status.m_hStop, pauseMs) == WAIT_OBJECT_0;
                --status.m_nRetryPauses;
                if (bStopped) return false;
            }
        }
        if (!bMayPass || status.m_bGiveUpAfterEverySite) return false;
    }
}

// A connection's worker: file after file until none is left or a stop.
void FetchFiles(CSetupRun& run, CDownloadStatus& status, const std::function<void()>& show, int nConnection) {
    SetTransferConnection(nConnection);
    while (CFileFetch* pFetch = run.m_bStopDownload ? nullptr : status.Next()) {
        CFileFetch& fetch = *pFetch;
        ++status.m_nInFlight;
        fetch.m_bFetched = FetchFile(run, status, show, fetch, nConnection);
        --status.m_nInFlight;
        status.End(nConnection);
        run.m_log.Write("Package file " + fetch.m_strSource + ": " +
                        (fetch.m_bFetched ? "fetched from " + fetch.m_strSite : std::string("not fetched")));
        // Decoded while the next files download: the install finds it done.
        if (fetch.m_bFetched && fetch.m_bCompressed && !fetch.m_strUnpackedPath.empty())
            run.m_unpackAhead.Add(fetch.m_strLocalPath, fetch.m_strSha256, fetch.m_strUnpackedPath,
                                  uint64_t(fetch.m_nSize));
        show();
    }
}

}  // namespace

void RunDownloadPass(CSetupRun& run, CDownloadStatus& status, const std::string& folder,
                     const std::function<void()>& show) {
    run.CreateFolderPath(folder, true, true);
    status.m_tStart = ::time(nullptr);
    const int connections = std::clamp(status.m_nConnections, 1, kMaxConnections);
    // The other connections' workers; a worker that cannot be started leaves its share to the others.
    std::vector<CWorkerThread> workers(size_t(connections - 1));
    for (size_t i = 0; i < workers.size(); ++i)
        workers[i].Start([&run, &status, &show, i] {
            FetchFiles(run, status, show, int(i) + 1);
            return 0;
        });
    FetchFiles(run, status, show, 0);
    for (CWorkerThread& worker : workers) worker.Wait(INFINITE);
}

void ApplyDownloadOutcomes(CSetupRun& run, const CDownloadStatus& status) {
    for (const CFileFetch& fetch : status.m_fetches) {
        if (!fetch.m_bFetched) continue;
        CPackageFile& file = *fetch.m_pFile;
        CPackageInfo& package = *fetch.m_pPackage;
        file.m_bCompressed = fetch.m_bCompressed;
        if (file.m_bCompressed) ++package.m_nFilesToUnpack;
        file.m_nPackageVersion = fetch.m_nPackageVersion;
        file.m_tPackageTime = fetch.m_tPackageTime;
        file.m_strPackageDir = run.m_strDownloadDir;
        file.m_bDownload = false;
        if (--package.m_nFilesToDownload == 0) --run.m_nPackagesToDownload;
    }
}
