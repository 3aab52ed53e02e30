#include "install/InstallingPage.h"

#include "app/SetupApp.h"
#include "install/QueueCallback.h"
#include "res/resource.h"

#include <commctrl.h>
#include <setupapi.h>

CInstallingPage::CInstallingPage() : CWizardPage(IDD_INSTALLING, IDC_INSTALLING_TITLE) {}

BOOL CInstallingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    SetDlgItemText(IDC_INSTALLING_PACKAGE, "");
    SetDlgItemText(IDC_INSTALLING_FILE, "");
    return TRUE;
}

BOOL CInstallingPage::OnSetActive() {
    PostWizardButtons(0);
    PostMessage(WM_PAGE_START);
    return CWizardPage::OnSetActive();
}

BOOL CInstallingPage::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (msg == WM_PAGE_START) {
        Install();
        result = 0;
        return TRUE;
    }
    if (msg == WM_QUEUE_PROGRESS) {
        if (m_pQueueCallback) m_pQueueCallback->OnProgressMessage(wParam);
        result = 1;
        return TRUE;
    }
    return FALSE;
}

void CInstallingPage::SetProgressRange(int id, int total) const {
    HWND bar = GetDlgItem(id);
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, total));
    ::SendMessageA(bar, PBM_SETPOS, 0, 0);
}

// Packages are queued here once the Preparing page prepares them; the
// commit, the reboot question and the way on are the page's own.
void CInstallingPage::Install() {
    int totalFiles = 0;
    int totalUnpacks = 0;
    for (const auto& entry : theApp.m_mapPackages) {
        const CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo || package.m_nFilesToDownload != 0) continue;
        totalFiles += package.m_nFilesToInstall;
        totalUnpacks += package.m_nFilesToUnpack;
    }
    SetProgressRange(IDC_INSTALLING_COPY_PROGRESS, totalFiles);
    SetProgressRange(IDC_INSTALLING_UNPACK_PROGRESS, totalUnpacks);
    ::UpdateWindow(m_hWnd);

    HSPFILEQ queue = ::SetupOpenFileQueue();
    ShowDlgItem(IDC_INSTALLING_PACKAGE, SW_HIDE);
    SetDlgItemText(IDC_INSTALLING_STAGE, "Processing queue...");

    HWND sheet = GetParent();
    {
        CInstallQueueCallback callback(sheet, m_hWnd, WM_QUEUE_PROGRESS, GetDlgItem(IDC_INSTALLING_COPY_PROGRESS),
                                       GetDlgItem(IDC_INSTALLING_FILE));
        m_pQueueCallback = &callback;
        theApp.m_bInstallSucceeded = callback.Commit(queue);
        m_pQueueCallback = nullptr;
        ::SendMessageA(GetDlgItem(IDC_INSTALLING_COPY_PROGRESS), PBM_SETPOS, totalFiles, 0);
        theApp.m_bRebootRequired = callback.IsRebootRequired(queue);
    }
    ::SetupCloseFileQueue(queue);

    ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}
