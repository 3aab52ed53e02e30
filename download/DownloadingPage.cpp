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
// How long Cancel waits for a transfer that even a closed request does not end.
const DWORD kCancelWaitMs = 3000;

// The first bytes of a file.
std::string ReadHead(const std::string& path) {
    char head[64] = "";
    DWORD read = 0;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    ::ReadFile(file, head, sizeof head, &read, nullptr);
    ::CloseHandle(file);
    return std::string(head, read);
}

}  // namespace

void CDownloadStatus::SetTexts(const std::string& component, const std::string& file, const std::string& localPath) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_strComponent = component;
    m_strFile = file;
    m_strLocalPath = localPath;
}

void CDownloadStatus::GetTexts(std::string& component, std::string& file, std::string& localPath) {
    std::lock_guard<std::mutex> guard(m_lock);
    component = m_strComponent;
    file = m_strFile;
    localPath = m_strLocalPath;
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

BOOL CDownloadingPage::OnQueryCancel() { return m_bCancelNoConfirm || CWizardPage::OnQueryCancel(); }

// The worker is stopped between chunks and in its pauses; a read that a
// stalled server blocks ends with its request closed on Windows. Under Wine
// it does not, so after a few seconds the wizard closes all the same: the
// partial file is deleted, which takes effect when the program ends and
// with it the transfer's handle.
void CDownloadingPage::OnCancel() {
    if (!m_pStatus) return;
    ::KillTimer(m_hWnd, kRefreshTimer);
    theApp.AbortTransfer();
    ::SetEvent(m_pStatus->m_hStop);
    if (m_worker.Wait(kCancelWaitMs)) return;
    std::string component, file, localPath;
    m_pStatus->GetTexts(component, file, localPath);
    if (!localPath.empty()) ::DeleteFileA(localPath.c_str());
}

BOOL CDownloadingPage::OnTimer(UINT_PTR id) {
    if (id != kRefreshTimer) return FALSE;
    UpdateProgressTexts();
    return TRUE;
}

BOOL CDownloadingPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_DOWNLOAD_SHOW: UpdateProgressTexts(); break;
    case WM_DOWNLOAD_ENDED: EndPass(); break;
    default: return CWizardPage::OnMessage(msg, wParam, lParam, result);
    }
    result = 0;
    return TRUE;
}

void CDownloadingPage::OnPageStart() {
    m_nBytesTotal = 0;
    for (const auto& entry : theApp.m_mapPackages) {
        const CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo || package.m_nFilesToDownload == 0) continue;
        for (const CPackageFile* pFile : package.m_listFiles)
            if (pFile->m_bDownload) m_nBytesTotal += pFile->m_nPackedSize;
    }
    m_progress.SetRange64(m_nBytesTotal);
    m_pStatus = std::make_shared<CDownloadStatus>();
    UpdateProgressTexts();
    theApp.m_bStopDownload = false;
    m_animate.PlayLooped();
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
    const std::shared_ptr<CDownloadStatus> pStatus = m_pStatus;
    const HWND hPage = m_hWnd;
    // Without a worker nothing can be fetched: the pass ends with every file missing.
    if (!m_worker.Start([pStatus, hPage] { return DownloadWorker(pStatus, hPage); })) EndPass();
}

int CDownloadingPage::DownloadWorker(std::shared_ptr<CDownloadStatus> pStatus, HWND hPage) {
    theApp.CreateFolderPath(theApp.m_strDownloadDir, true);
    pStatus->m_tStart = ::time(nullptr);
    for (const auto& entry : theApp.m_mapPackages) {
        if (theApp.m_bStopDownload) break;
        CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo || package.m_nFilesToDownload == 0) continue;
        const std::string component = "Downloading " + package.m_pComponent->m_strName + "...";
        for (CPackageFile* pFile : package.m_listFiles) {
            if (theApp.m_bStopDownload) break;
            if (!pFile->m_bDownload) continue;
            if (FetchFile(*pStatus, hPage, component, package, *pFile)) --package.m_nFilesToDownload;
            ::PostMessageA(hPage, WM_DOWNLOAD_SHOW, 0, 0);
        }
        if (package.m_nFilesToDownload == 0) --theApp.m_nPackagesToDownload;
    }
    if (!theApp.m_bStopDownload) ::PostMessageA(hPage, WM_DOWNLOAD_ENDED, 0, 0);
    return 0;
}

// A failure that may pass (no connection, an error status, a broken read, a
// file gone after its transfer) is tried again after a pause that grows, so
// that a site that keeps failing is not hammered; Cancel ends the pause.
bool CDownloadingPage::FetchFile(CDownloadStatus& status, HWND hPage, const std::string& component,
                                 CPackageInfo& package, CPackageFile& file) {
    if (!theApp.m_pSelectedSite) return false;
    std::string url = JoinUrl(theApp.m_pSelectedSite->m_strURL, "");
    if (file.m_pSource) url = JoinUrl(url + *file.m_pSource, "");
    url += file.m_strSource;
    const std::string localPath = theApp.m_strDownloadDir + file.m_strSource;
    status.SetTexts(component, file.m_strSource, localPath);
    for (int failed = 1;; ++failed) {
        if (theApp.m_bStopDownload) return false;
        uint32_t got = 0;
        const int result = theApp.DownloadPackageFile(url, localPath, &status, OnDownloadProgress, &got);
        if (result <= 0 || int64_t(got) < file.m_nPackedSize) {
            status.m_nBytesReceived -= got;
            // Not creatable, not writable, or ended short by the server's own account.
            if (result <= -4 || result > 0) return false;
        } else if (int64_t(got) != file.m_nPackedSize && LooksLikeHtmlPage(ReadHead(localPath))) {
            // A server's error page sent as the file: installed, it would
            // stand in for a program; left here, the next run would take it.
            status.m_nBytesReceived -= got;
            ::DeleteFileA(localPath.c_str());
            return false;
        } else {
            const int kind = ProbeDownloadedFile(localPath, file.m_nPackageVersion, file.m_tPackageTime);
            if (kind != DOWNLOADED_NONE) {
                file.m_bCompressed = kind == DOWNLOADED_COMPRESSED;
                // An undated file keeps the time it arrived at: stamped with
                // time 0 it would count as unreadable and be fetched again.
                if (file.m_bCompressed) {
                    ++package.m_nFilesToUnpack;
                } else if (file.m_tDate != 0) {
                    file.m_tPackageTime = file.m_tDate;
                    _utimbuf times{file.m_tDate, file.m_tDate};
                    _utime(localPath.c_str(), &times);
                }
                file.m_strPackageDir = theApp.m_strDownloadDir;
                file.m_bDownload = false;
                return true;
            }
        }
        if (theApp.m_bStopDownload) return false;
        const unsigned pauseMs = RetryPauseMs(failed);
        status.SetTexts(component, FormatRetryText(file.m_strSource, failed, pauseMs), localPath);
        ::PostMessageA(hPage, WM_DOWNLOAD_SHOW, 0, 0);
        if (::WaitForSingleObject(status.m_hStop, pauseMs) == WAIT_OBJECT_0) return false;
        status.SetTexts(component, file.m_strSource, localPath);
    }
}

void CDownloadingPage::OnDownloadProgress(void* pContext, uint32_t nBytes) {
    static_cast<CDownloadStatus*>(pContext)->m_nBytesReceived += nBytes;
}

void CDownloadingPage::UpdateProgressTexts() {
    std::string component, file, localPath;
    m_pStatus->GetTexts(component, file, localPath);
    const int64_t received = m_pStatus->m_nBytesReceived;
    const time_t start = m_pStatus->m_tStart;
    const std::string timeLeft =
        start == 0 ? "" : FormatTimeLeft(EstimateSecondsLeft(received, m_nBytesTotal, ::time(nullptr) - start + 2));
    // Only what changed is set: the page is redrawn ten times a second.
    for (const auto& [id, text] : {std::pair<int, std::string>{IDC_DOWNLOADING_COMPONENT, component},
                                   {IDC_DOWNLOADING_FILE, file},
                                   {IDC_DOWNLOADING_BYTES, FormatBytesProgress(received, m_nBytesTotal)},
                                   {IDC_DOWNLOADING_TIME, timeLeft}})
        if (GetDlgItemText(id) != text) SetDlgItemText(id, text);
    m_progress.SetPos64(received, m_nBytesTotal);
}

void CDownloadingPage::EndPass() {
    ::KillTimer(m_hWnd, kRefreshTimer);
    UpdateProgressTexts();
    m_animate.Stop();
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "Download complete.");
    for (int id : {IDC_DOWNLOADING_FILE_LABEL, IDC_DOWNLOADING_FILE, IDC_DOWNLOADING_ANIMATION,
                   IDC_DOWNLOADING_TIME_LABEL, IDC_DOWNLOADING_TIME})
        ShowDlgItem(id, SW_HIDE);
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
