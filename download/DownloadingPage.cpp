#include "download/DownloadingPage.h"

#include "app/PageFlow.h"
#include "app/PathText.h"
#include "app/SetupApp.h"
#include "download/HttpTransfer.h"
#include "download/ProgressText.h"
#include "install/FileSelection.h"
#include "install/PackageInfo.h"
#include "res/resource.h"
#include "select/SkippedComponentsDlg.h"

#include <sys/utime.h>

namespace {

const UINT_PTR kRefreshTimer = 1;
// Often enough to look live; rare enough that showing never slows a transfer.
const UINT kRefreshMs = 100;
// How long Cancel waits for a transfer that even a closed request does not
// end; the program's end then waits for it once more.
const DWORD kCancelWaitMs = 1000;

}  // namespace

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

CDownloadingPage::CDownloadingPage() : CWizardPage(IDD_DOWNLOADING, IDC_DOWNLOADING_TITLE, WM_PAGE_START) {}

BOOL CDownloadingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_progress = CProgressCtrl(GetDlgItem(IDC_DOWNLOADING_PROGRESS));
    m_animate = CAnimateCtrl(GetDlgItem(IDC_DOWNLOADING_ANIMATION));
    m_animate.Open(IDR_DOWNLOAD_CLIP);
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "");
    SetDlgItemText(IDC_DOWNLOADING_FILE, "");
    return TRUE;
}

BOOL CDownloadingPage::OnSetActive() {
    PostWizardButtons(DownloadingButtons(theApp.m_nDownloadOnly));
    return CWizardPage::OnSetActive();
}

// The pass does not go on under the question: a pass that ends meanwhile
// goes on only once the answer is No.
BOOL CDownloadingPage::OnQueryCancel() {
    if (m_bCancelNoConfirm) return TRUE;
    m_bAskingCancel = true;
    const BOOL bCancel = CWizardPage::OnQueryCancel();
    m_bAskingCancel = false;
    if (!bCancel && m_bEndPending) {
        m_bEndPending = false;
        ::PostMessageA(m_hWnd, WM_DOWNLOAD_ENDED, 0, 0);
    }
    return bCancel;
}

// The worker is stopped between chunks and in its pauses; a read that a
// stalled server blocks ends with its request closed on Windows. Under Wine
// it does not, so after a second the wizard closes all the same: what
// arrived stays in the transfer's partial file for the next run.
void CDownloadingPage::OnCancel() {
    if (!m_pStatus) return;
    ::KillTimer(m_hWnd, kRefreshTimer);
    theApp.AbortTransfer();
    ::SetEvent(m_pStatus->m_hStop);
    m_worker.Wait(kCancelWaitMs);
}

BOOL CDownloadingPage::OnTimer(UINT_PTR id) {
    if (id != kRefreshTimer) return FALSE;
    UpdateProgressTexts();
    return TRUE;
}

BOOL CDownloadingPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_DOWNLOAD_SHOW: UpdateProgressTexts(); break;
    case WM_DOWNLOAD_ENDED: OnPassEnded(); break;
    default: return CWizardPage::OnMessage(msg, wParam, lParam, result);
    }
    result = 0;
    return TRUE;
}

// The worker gets its own list of what to fetch, so that it never reads the
// records that a closing wizard destroys.
void CDownloadingPage::OnPageStart() {
    m_nBytesTotal = 0;
    m_bPassEnded = m_bEndPending = false;
    theApp.m_nToDownload = theApp.m_nPackagesToDownload;
    m_pStatus = std::make_shared<CDownloadStatus>();
    for (const auto& entry : theApp.m_mapPackages) {
        CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo || package.m_nFilesToDownload == 0) continue;
        for (CPackageFile* pFile : package.m_listFiles) {
            if (!pFile->m_bDownload) continue;
            m_nBytesTotal += pFile->m_nPackedSize;
            CFileFetch fetch;
            fetch.m_pPackage = &package;
            fetch.m_pFile = pFile;
            fetch.m_strComponent = "Downloading " + package.m_pComponent->m_strName + "...";
            fetch.m_strSource = pFile->m_strSource;
            if (theApp.m_pSelectedSite) {
                fetch.m_strUrl = JoinUrl(theApp.m_pSelectedSite->m_strURL, "");
                if (pFile->m_pSource) fetch.m_strUrl = JoinUrl(fetch.m_strUrl + *pFile->m_pSource, "");
                fetch.m_strUrl += pFile->m_strSource;
            }
            fetch.m_strLocalPath = theApp.m_strDownloadDir + pFile->m_strSource;
            fetch.m_nPackedSize = pFile->m_nPackedSize;
            fetch.m_tDate = pFile->m_tDate;
            fetch.m_strSha256 = pFile->m_strSha256;
            m_pStatus->m_fetches.push_back(fetch);
        }
    }
    m_progress.SetRange64(m_nBytesTotal);
    UpdateProgressTexts();
    theApp.m_bStopDownload = false;
    m_animate.PlayLooped();
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
    const std::shared_ptr<CDownloadStatus> pStatus = m_pStatus;
    const std::string folder = theApp.m_strDownloadDir;
    const HWND hPage = m_hWnd;
    // Without a worker nothing can be fetched: the pass ends with every file missing.
    if (!m_worker.Start([pStatus, folder, hPage] { return DownloadWorker(*pStatus, folder, hPage); },
                        [hPage](int) {
                            if (!theApp.m_bStopDownload) ::PostMessageA(hPage, WM_DOWNLOAD_ENDED, 0, 0);
                        }))
        OnPassEnded();
}

int CDownloadingPage::DownloadWorker(CDownloadStatus& status, const std::string& folder, HWND hPage) {
    theApp.CreateFolderPath(folder, true);
    status.m_tStart = ::time(nullptr);
    for (CFileFetch& fetch : status.m_fetches) {
        if (theApp.m_bStopDownload) break;
        fetch.m_bFetched = FetchFile(status, hPage, fetch);
        ::PostMessageA(hPage, WM_DOWNLOAD_SHOW, 0, 0);
    }
    return 0;
}

// A failure that may pass (no connection, an error status, a broken read, a
// file gone after its transfer) is tried again after a pause that grows, so
// that a site that keeps failing is not hammered; Cancel ends the pause.
bool CDownloadingPage::FetchFile(CDownloadStatus& status, HWND hPage, CFileFetch& fetch) {
    if (fetch.m_strUrl.empty()) return false;
    status.SetTexts(fetch.m_strComponent, fetch.m_strSource);
    for (int failed = 1;; ++failed) {
        if (theApp.m_bStopDownload) return false;
        int64_t got = 0;
        status.m_nAttemptResumed = 0;
        const int result = theApp.DownloadPackageFile(fetch.m_strUrl, fetch.m_strLocalPath, fetch.m_nPackedSize,
                                                      &status, OnDownloadProgress, &got, fetch.m_strSha256);
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
        if (theApp.m_bStopDownload) return false;
        const unsigned pauseMs = RetryPauseMs(failed);
        status.m_bRetryPause = true;
        status.SetTexts(fetch.m_strComponent, FormatRetryText(fetch.m_strSource, failed, pauseMs));
        ::PostMessageA(hPage, WM_DOWNLOAD_SHOW, 0, 0);
        const bool bStopped = ::WaitForSingleObject(status.m_hStop, pauseMs) == WAIT_OBJECT_0;
        status.m_bRetryPause = false;
        if (bStopped) return false;
        status.SetTexts(fetch.m_strComponent, fetch.m_strSource);
    }
}

void CDownloadingPage::OnDownloadProgress(void* pContext, int64_t nBytes, bool bAlreadyHere) {
    auto& status = *static_cast<CDownloadStatus*>(pContext);
    status.m_nBytesReceived += nBytes;
    if (!bAlreadyHere) return;
    status.m_nBytesResumed += nBytes;
    status.m_nAttemptResumed = nBytes;
}

void CDownloadingPage::UpdateProgressTexts() {
    std::string component, file;
    m_pStatus->GetTexts(component, file);
    const int64_t received = m_pStatus->m_nBytesReceived;
    // What earlier runs left took no time now: it counts as there, not as speed.
    const int64_t resumed = m_pStatus->m_nBytesResumed;
    const time_t start = m_pStatus->m_tStart;
    // Nothing to estimate from before the first byte, and nothing holds while a failed file waits.
    const bool bEstimate = start != 0 && received > resumed && !m_pStatus->m_bRetryPause;
    const std::string timeLeft =
        bEstimate ? FormatTimeLeft(EstimateSecondsLeft(received - resumed, m_nBytesTotal - resumed,
                                                       ::time(nullptr) - start + 2))
                  : "";
    // Only what changed is set: the page is redrawn ten times a second.
    for (const auto& [id, text] : {std::pair<int, std::string>{IDC_DOWNLOADING_COMPONENT, component},
                                   {IDC_DOWNLOADING_FILE, file},
                                   {IDC_DOWNLOADING_BYTES, FormatBytesProgress(received, m_nBytesTotal)},
                                   {IDC_DOWNLOADING_TIME, timeLeft}})
        if (GetDlgItemText(id) != text) SetDlgItemText(id, text);
    m_progress.SetPos64(received, m_nBytesTotal);
}

void CDownloadingPage::OnPassEnded() {
    if (!m_bPassEnded) {
        m_bPassEnded = true;
        ::KillTimer(m_hWnd, kRefreshTimer);
        UpdateProgressTexts();
        m_animate.Stop();
        SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "Download complete.");
        for (int id : {IDC_DOWNLOADING_FILE_LABEL, IDC_DOWNLOADING_FILE, IDC_DOWNLOADING_ANIMATION,
                       IDC_DOWNLOADING_TIME_LABEL, IDC_DOWNLOADING_TIME})
            ShowDlgItem(id, SW_HIDE);
        ApplyOutcomes();
    }
    if (m_bAskingCancel)
        m_bEndPending = true;
    else
        EndPass();
}

// On the page's thread, once the worker has ended: it wrote its outcomes
// before, and nothing after.
void CDownloadingPage::ApplyOutcomes() {
    if (!m_worker.Claim()) return;
    for (const CFileFetch& fetch : m_pStatus->m_fetches) {
        if (!fetch.m_bFetched) continue;
        CPackageFile& file = *fetch.m_pFile;
        CPackageInfo& package = *fetch.m_pPackage;
        file.m_bCompressed = fetch.m_bCompressed;
        if (file.m_bCompressed) ++package.m_nFilesToUnpack;
        file.m_nPackageVersion = fetch.m_nPackageVersion;
        file.m_tPackageTime = fetch.m_tPackageTime;
        file.m_strPackageDir = theApp.m_strDownloadDir;
        file.m_bDownload = false;
        if (--package.m_nFilesToDownload == 0) --theApp.m_nPackagesToDownload;
    }
}

void CDownloadingPage::EndPass() {
    if (theApp.m_nPackagesToDownload != 0) {
        CSkippedComponentsDlg dlg(GetParent());
        dlg.m_nListMode = 2;
        if (dlg.DoModal() != IDOK) {
            m_bCancelNoConfirm = true;
            MessageBox("You may RE-RUN ZEP Setup Wizard and it will download\nfiles which it failed to download this "
                       "time\n and will complete installing ZEP.");
            ::PostMessageA(GetParent(), WM_CLOSE, 0, 0);
            return;
        }
        MessageBox("You may later RE-RUN ZEP Setup Wizard and it will\ndownload files which it failed to download "
                   "this time\n and will complete installing ZEP.");
    }
    if (theApp.m_nDownloadOnly == 1)
        PostWizardButtons(PSWIZB_FINISH);
    else
        PressNextButton();
}
