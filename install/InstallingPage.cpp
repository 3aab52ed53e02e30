#include "install/InstallingPage.h"

#include "app/SetupApp.h"
#include "install/InstallEngine.h"
#include "install/QueueCallback.h"
#include "res/resource.h"

#include <setupapi.h>

#include <vector>

CInstallingPage::CInstallingPage() : CWizardPage(IDD_INSTALLING, IDC_INSTALLING_TITLE, WM_PAGE_START) {}

BOOL CInstallingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_progressCopy.Attach(GetDlgItem(IDC_INSTALLING_COPY_PROGRESS));
    m_progressUnpack.Attach(GetDlgItem(IDC_INSTALLING_UNPACK_PROGRESS));
    SetDlgItemText(IDC_INSTALLING_PACKAGE, "");
    SetDlgItemText(IDC_INSTALLING_FILE, "");
    return TRUE;
}

BOOL CInstallingPage::OnSetActive() {
    PostWizardButtons(0);
    return CWizardPage::OnSetActive();
}

BOOL CInstallingPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg != WM_QUEUE_PROGRESS) return CWizardPage::OnMessage(msg, wParam, lParam, result);
    if (m_pQueueCallback) m_pQueueCallback->OnProgressMessage(wParam);
    result = 1;
    return TRUE;
}

// The bars take 32-bit ranges: a queue may hold more than 65,535 files.
void CInstallingPage::OnPageStart() {
    theApp.CreateFolderPath(theApp.m_strInstallDir, true, true);
    const std::vector<CPackageInfo*> ready = ReadyPackages(theApp);
    m_nTotalFiles = 0;
    int totalUnpacks = 0;
    for (const CPackageInfo* pPackage : ready) {
        m_nTotalFiles += pPackage->m_nFilesToInstall;
        totalUnpacks += pPackage->m_nFilesToUnpack;
    }
    m_progressCopy.SetRange(m_nTotalFiles);
    m_progressUnpack.SetRange(totalUnpacks);
    ::UpdateWindow(m_hWnd);

    m_nUnpacksDone = 0;
    std::vector<CPackageInfo*> failed;
    {
        CInstallQueueCallback callback(GetParent(), m_hWnd, WM_QUEUE_PROGRESS, *this, theApp.m_log);
        m_pQueueCallback = &callback;
        failed = InstallReadyPackages(theApp, ready, callback, *this).m_failed;
        m_pQueueCallback = nullptr;
    }

    // A package that failed is named rather than left for the Finish page
    // to pass over; the others are installed as usual. A queue that failed
    // as a whole is the Finish page's to report.
    if (theApp.m_bInstallSucceeded && !failed.empty()) {
        std::string text = "The following components could not be installed:";
        for (const CPackageInfo* pPackage : failed) text += "\n" + pPackage->m_pComponent->m_strName;
        MessageBox(text);
    }

    ::SendMessageA(GetParent(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

void CInstallingPage::OnQueueing(const CPackageInfo& package) {
    SetDlgItemText(IDC_INSTALLING_PACKAGE, package.m_pComponent->m_strName);
    ::UpdateWindow(GetDlgItem(IDC_INSTALLING_PACKAGE));
}

// A name changes at most once a frame: a package of thousands of small
// files would otherwise spend its time painting names nobody can read.
bool CInstallingPage::IsFileTextDue() {
    const ULONGLONG now = ::GetTickCount64();
    if (now - m_tFileTextShown < kFileTextIntervalMs) return false;
    m_tFileTextShown = now;
    return true;
}

void CInstallingPage::OnUnpacking(const CPackageFile& file) {
    if (!IsFileTextDue()) return;
    SetDlgItemText(IDC_INSTALLING_FILE, file.m_strSource);
    ::UpdateWindow(GetDlgItem(IDC_INSTALLING_FILE));
}

void CInstallingPage::OnUnpacked() { m_progressUnpack.SetPos(m_progressUnpack.GetPos() + 1); }

// A package that failed part way still has its share passed, so the bar ends full.
void CInstallingPage::OnQueued(const CPackageInfo& package) {
    m_nUnpacksDone += package.m_nFilesToUnpack;
    m_progressUnpack.SetPos(m_nUnpacksDone);
    ::UpdateWindow(m_progressUnpack.Handle());
}

void CInstallingPage::OnCommitting() {
    ShowDlgItem(IDC_INSTALLING_PACKAGE, SW_HIDE);
    SetDlgItemText(IDC_INSTALLING_STAGE, "Processing queue...");
}

void CInstallingPage::OnCopying(const char* target) {
    if (IsFileTextDue()) SetDlgItemText(IDC_INSTALLING_FILE, target);
}

void CInstallingPage::OnFilesDone(int nFiles) { m_progressCopy.SetPos(nFiles); }

void CInstallingPage::OnCommitted() { m_progressCopy.SetPos(m_nTotalFiles); }
