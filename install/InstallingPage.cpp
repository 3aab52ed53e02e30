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
    m_progressCopy = CProgressCtrl(GetDlgItem(IDC_INSTALLING_COPY_PROGRESS));
    m_progressUnpack = CProgressCtrl(GetDlgItem(IDC_INSTALLING_UNPACK_PROGRESS));
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
    theApp.CreateFolderPath(theApp.m_strInstallDir, true);
    std::vector<CPackageInfo*> ready;
    int totalFiles = 0;
    int totalUnpacks = 0;
    for (const auto& entry : theApp.m_mapPackages) {
        CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo || package.m_nFilesToDownload != 0) continue;
        ready.push_back(&package);
        totalFiles += package.m_nFilesToInstall;
        totalUnpacks += package.m_nFilesToUnpack;
    }
    m_progressCopy.SetRange32(0, totalFiles);
    m_progressUnpack.SetRange32(0, totalUnpacks);
    for (const CProgressCtrl* bar : {&m_progressCopy, &m_progressUnpack}) {
        bar->SetPos(0);
        bar->SetStep(1);
    }
    ::UpdateWindow(m_hWnd);

    HSPFILEQ queue = ::SetupOpenFileQueue();
    int unpacksDone = 0;
    for (CPackageInfo* pPackage : ready) {
        SetDlgItemText(IDC_INSTALLING_PACKAGE, pPackage->m_pComponent->m_strName);
        ::UpdateWindow(GetDlgItem(IDC_INSTALLING_PACKAGE));
        pPackage->m_bQueueFailed =
            !pPackage->QueueFiles(queue, m_progressUnpack.m_hWnd, GetDlgItem(IDC_INSTALLING_FILE));
        // A package that failed part way still has its share passed, so the bar ends full.
        unpacksDone += pPackage->m_nFilesToUnpack;
        m_progressUnpack.SetPos(unpacksDone);
        ::UpdateWindow(m_progressUnpack.m_hWnd);
    }
    ShowDlgItem(IDC_INSTALLING_PACKAGE, SW_HIDE);
    SetDlgItemText(IDC_INSTALLING_STAGE, "Processing queue...");

    std::vector<CPackageInfo*> failed;
    {
        CInstallQueueCallback callback(GetParent(), m_hWnd, WM_QUEUE_PROGRESS, m_progressCopy.m_hWnd,
                                       GetDlgItem(IDC_INSTALLING_FILE));
        m_pQueueCallback = &callback;
        theApp.m_bInstallSucceeded = callback.Commit(queue);
        m_pQueueCallback = nullptr;
        m_progressCopy.SetPos(totalFiles);
        theApp.m_bRebootRequired = callback.IsRebootRequired(queue);
        failed = FinishPackages(ready, theApp.m_bInstallSucceeded, callback);
    }
    ::SetupCloseFileQueue(queue);

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
