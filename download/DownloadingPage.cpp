#include "download/DownloadingPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "app/UninstallEntry.h"
#include "download/ProgressText.h"
#include "framework/Dpi.h"
#include "res/resource.h"
#include "select/SkippedComponentsDlg.h"

namespace {

const UINT_PTR kRefreshTimer = 1;
// Often enough to look live; rare enough that showing never slows a transfer.
const UINT kRefreshMs = 100;
// How long Cancel waits for a transfer that even a closed request does not
// end; the program's end then waits for it once more.
const DWORD kCancelWaitMs = 1000;

}  // namespace

CDownloadingPage::CDownloadingPage() : CWizardPage(IDD_DOWNLOADING, IDC_DOWNLOADING_TITLE, WM_PAGE_START) {}

BOOL CDownloadingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_progress = CProgressCtrl(GetDlgItem(IDC_DOWNLOADING_PROGRESS));
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "");
    SetDlgItemText(IDC_DOWNLOADING_FILE, "");
    return TRUE;
}

// A clip opened anew starts stopped: one under way plays on.
void CDownloadingPage::ShowPictures() {
    CWizardPage::ShowPictures();
    m_animate = CAnimateCtrl(GetDlgItem(IDC_DOWNLOADING_ANIMATION));
    m_animate.Open(PictureForDpi(IDR_DOWNLOAD_CLIP, WindowDpi(m_hWnd)));
    if (m_pStatus && !m_bPassEnded) m_animate.PlayLooped();
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
    m_bPassEnded = m_bEndPending = false;
    m_pStatus = std::make_shared<CDownloadStatus>();
    // A passive run has nobody to Cancel a file that every site fails.
    m_pStatus->m_bGiveUpAfterEverySite = theApp.m_options.m_bPassive;
    m_nBytesTotal = ListPackageFetches(theApp, *m_pStatus);
    m_progress.SetRange64(m_nBytesTotal);
    UpdateProgressTexts();
    theApp.m_bStopDownload = false;
    m_animate.PlayLooped();
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
    const std::shared_ptr<CDownloadStatus> pStatus = m_pStatus;
    const std::string folder = theApp.m_strDownloadDir;
    const HWND hPage = m_hWnd;
    // Without a worker nothing can be fetched: the pass ends with every file missing.
    if (!m_worker.Start(
            [pStatus, folder, hPage] {
                RunDownloadPass(theApp, *pStatus, folder, [hPage] { ::PostMessageA(hPage, WM_DOWNLOAD_SHOW, 0, 0); });
                return 0;
            },
                        [hPage](int) {
                            if (!theApp.m_bStopDownload) ::PostMessageA(hPage, WM_DOWNLOAD_ENDED, 0, 0);
                        }))
        OnPassEnded();
}

void CDownloadingPage::UpdateProgressTexts() {
    std::string component, file;
    m_pStatus->GetTexts(component, file);
    const int64_t received = m_pStatus->m_nBytesReceived;
    // What earlier runs left took no time now: it counts as there, not as speed.
    const int64_t resumed = m_pStatus->m_nBytesResumed;
    const time_t start = m_pStatus->m_tStart;
    // Nothing to estimate from before the first byte, and nothing holds while every file in flight waits.
    const int pauses = m_pStatus->m_nRetryPauses;
    const bool bEstimate = start != 0 && received > resumed && (pauses == 0 || pauses < m_pStatus->m_nInFlight);
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
        // On the page's thread, once the worker has ended: it wrote its
        // outcomes before, and nothing after.
        if (m_worker.Claim()) ApplyDownloadOutcomes(theApp, *m_pStatus);
    }
    if (m_bAskingCancel)
        m_bEndPending = true;
    else
        EndPass();
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
    if (theApp.m_nDownloadOnly == 1) {
        CompleteLayout(theApp);
        PostWizardButtons(PSWIZB_FINISH);
    } else {
        PressNextButton();
    }
}
