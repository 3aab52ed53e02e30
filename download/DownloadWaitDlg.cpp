#include "download/DownloadWaitDlg.h"

#include "app/SetupRun.h"
#include "res/DownloadWaitIds.h"

CDownloadWaitDlg::CDownloadWaitDlg(HWND hParent) : CDialog(IDD_DOWNLOAD_WAIT, hParent), m_strText("Downloading ") {}

INT_PTR CDownloadWaitDlg::DoModal() {
    unsigned run = ++m_nRunsBegun;
    INT_PTR result = CDialog::DoModal();
    m_nRunsEnded = run;
    return result;
}

INT_PTR CDownloadWaitDlg::RunFetch(HWND hOwner, CWorkerThread& worker, const std::string& subject,
                                   std::function<int()> fetch, std::function<void()> cleanup) {
    m_hParent = hOwner;
    m_strText = "Downloading " + subject;
    const unsigned run = NextRun();
    if (!worker.Start(std::move(fetch), [this, run](int missing) { EndRun(run, missing == 0); }, std::move(cleanup)))
        return IDCANCEL;
    return DoModal();
}

// A run's window is published between its start and its end only, so a
// window read while the run has not ended belongs to that run.
void CDownloadWaitDlg::EndRun(unsigned run, bool bFetched) {
    for (;; ::Sleep(0)) {
        if (m_nRunsEnded >= run) return;
        if (m_nRunsBegun < run) continue;
        HWND hRun = m_hRunWnd;
        if (!hRun) continue;
        if (m_nRunsEnded >= run) return;
        if (bFetched) m_nRunFetched = run;
        ::PostMessageA(hRun, WM_COMMAND, bFetched ? IDOK : IDCANCEL, 0);
        return;
    }
}

void CDownloadWaitDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_DOWNLOAD_WAIT_TEXT, m_strText); }

BOOL CDownloadWaitDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hGlobeCtl = GetDlgItem(IDC_DOWNLOAD_WAIT_GLOBE);
    // Without the picture beside the program the control stays empty.
    m_hGlobe = static_cast<HICON>(::LoadImageA(nullptr, "globe.ani", IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    if (m_hGlobe) ::SendMessageA(m_hGlobeCtl, STM_SETICON, reinterpret_cast<WPARAM>(m_hGlobe), 0);
    m_hRunWnd = m_hWnd;
    return TRUE;
}

// Enter reaches the dialog as IDOK too; only the worker's report ends a run
// as fetched.
void CDownloadWaitDlg::OnOK() {
    if (m_nRunFetched == m_nRunsBegun) CDialog::OnOK();
}

void CDownloadWaitDlg::OnDestroy() {
    m_hRunWnd = nullptr;
    m_hGlobeCtl = nullptr;
    if (m_hGlobe) ::DestroyIcon(m_hGlobe);
    m_hGlobe = nullptr;
}

bool FetchSetupIniFile(HWND hOwner, CDownloadWaitDlg& wait, CSetupRun& run, const std::string& name,
                       const std::string& firstSection, const std::string& subject, const CFetchCheck& check) {
    if (!run.m_hInternet) return false;
    const CSetupFileFetch fetch(run, name, firstSection, check.m_bSigned);
    CWorkerThread worker;
    const INT_PTR result = wait.RunFetch(
        hOwner, worker, subject, [fetch] { return fetch.Fetch() ? 0 : 1; }, [fetch] { fetch.RemoveOwnFiles(); });
    if (worker.Claim() && result == IDOK) return fetch.Place(check);
    if (worker.Claim()) fetch.RemoveOwnFiles();
    return false;
}
