#include "download/DownloadPass.h"

#include "app/PathText.h"
#include "app/SetupRun.h"
#include "download/ProgressText.h"
#include "install/FileSelection.h"
#include "install/PackageInfo.h"

#include <sys/utime.h>

void CDownloadStatus::SetTexts(const std::string& component, const std::string& file) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_strComponent = component;
    m_strFile = file;
}

void CDownloadStatus::GetTexts(std::string& component, std::string& file) {
    std::lock_guard<std::mutex> guard(m_lock);
    component = m_strComponent;
    file = m_strFile;
}

int64_t ListPackageFetches(CSetupRun& run, CDownloadStatus& status) {
    run.m_nToDownload = run.m_nPackagesToDownload;
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
            if (run.m_pSelectedSite) {
                fetch.m_strUrl = JoinUrl(run.m_pSelectedSite->m_strURL, "");
                if (pFile->m_pSource) fetch.m_strUrl = JoinUrl(fetch.m_strUrl + *pFile->m_pSource, "");
                fetch.m_strUrl += pFile->m_strSource;
            }
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

// One attempt after another at one file until it arrives, a failure that
// trying again cannot cure, the last attempt allowed, or a stop. A failure
// that may pass (no connection, an error status, a broken read, a file gone
// after its transfer) is tried again after a pause that grows, so that a
// site that keeps failing is not hammered; Cancel ends the pause.
bool FetchFile(CSetupRun& run, CDownloadStatus& status, const std::function<void()>& show, CFileFetch& fetch) {
    if (fetch.m_strUrl.empty()) return false;
    status.SetTexts(fetch.m_strComponent, fetch.m_strSource);
    for (int failed = 1;; ++failed) {
        if (run.m_bStopDownload) return false;
        int64_t got = 0;
        status.m_nAttemptResumed = 0;
        const int result = run.DownloadPackageFile(fetch.m_strUrl, fetch.m_strLocalPath, fetch.m_nPackedSize, &status,
                                                   OnDownloadProgress, &got, fetch.m_strSha256);
        if (result <= 0 || got < fetch.m_nPackedSize) {
            status.m_nBytesReceived -= got;
            status.m_nBytesResumed -= status.m_nAttemptResumed;
            // Not creatable, not writable, longer than promised, other bytes
            // than the publisher's, no proxy login, or ended short by the
            // server's own account: the same server would answer the same again.
            if (result <= -4 || result > 0) return false;
        } else {
            const int kind = ProbeDownloadedFile(fetch.m_strLocalPath, fetch.m_nPackageVersion, fetch.m_tPackageTime);
            if (kind != DOWNLOADED_NONE) {
                fetch.m_bCompressed = kind == DOWNLOADED_COMPRESSED;
                // An undated file keeps the time it arrived at: stamped with
                // time 0 it would count as unreadable and be fetched again.
                if (!fetch.m_bCompressed && fetch.m_tDate != 0) {
                    fetch.m_tPackageTime = fetch.m_tDate;
                    _utimbuf times{fetch.m_tDate, fetch.m_tDate};
                    _utime(fetch.m_strLocalPath.c_str(), &times);
                }
                return true;
            }
        }
        if (run.m_bStopDownload || failed == status.m_nMaxAttempts) return false;
        const unsigned pauseMs = RetryPauseMs(failed);
        status.m_bRetryPause = true;
        status.SetTexts(fetch.m_strComponent, FormatRetryText(fetch.m_strSource, failed, pauseMs));
        show();
        const bool bStopped = ::WaitForSingleObject(status.m_hStop, pauseMs) == WAIT_OBJECT_0;
        status.m_bRetryPause = false;
        if (bStopped) return false;
        status.SetTexts(fetch.m_strComponent, fetch.m_strSource);
    }
}

}  // namespace

void RunDownloadPass(CSetupRun& run, CDownloadStatus& status, const std::string& folder,
                     const std::function<void()>& show) {
    run.CreateFolderPath(folder, true, true);
    status.m_tStart = ::time(nullptr);
    for (CFileFetch& fetch : status.m_fetches) {
        if (run.m_bStopDownload) break;
        fetch.m_bFetched = FetchFile(run, status, show, fetch);
        // Decoded while the next file downloads: the install finds it done.
        if (fetch.m_bFetched && fetch.m_bCompressed && !fetch.m_strUnpackedPath.empty())
            run.m_unpackAhead.Add(fetch.m_strLocalPath, fetch.m_strSha256, fetch.m_strUnpackedPath,
                                  uint64_t(fetch.m_nSize));
        show();
    }
}

void OnDownloadProgress(void* pContext, int64_t nBytes, bool bAlreadyHere) {
    auto& status = *static_cast<CDownloadStatus*>(pContext);
    status.m_nBytesReceived += nBytes;
    if (!bAlreadyHere) return;
    status.m_nBytesResumed += nBytes;
    status.m_nAttemptResumed = nBytes;
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
