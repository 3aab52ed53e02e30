#include "install/InstallingPage.h"

#include "app/SetupApp.h"
#include "res/resource.h"

#include <commctrl.h>
#include <setupapi.h>

namespace {
// What the page's queue callback needs: the default callback's context and the page.
struct QueueContext {
    PVOID defaultContext;
    HWND page;
};
}  // namespace

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
        if (wParam == 1) ::SendMessageA(GetDlgItem(IDC_INSTALLING_COPY_PROGRESS), PBM_STEPIT, 0, 0);
        result = 1;
        return TRUE;
    }
    return FALSE;
}

void CInstallingPage::SetProgressRange(int id, int total) const {
    HWND bar = GetDlgItem(id);
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, total));
    ::SendMessageA(bar, PBM_SETPOS, 0, 0);
    ::SendMessageA(bar, PBM_SETSTEP, 1, 0);
}

// Queueing the packages' files comes with the install engine; the commit,
// the reboot question and the way on are the page's own.
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
    QueueContext context{::SetupInitDefaultQueueCallbackEx(sheet, m_hWnd, WM_QUEUE_PROGRESS, 0, nullptr), m_hWnd};
    theApp.m_bInstallSucceeded = ::SetupCommitFileQueueA(sheet, queue, QueueCallback, &context);
    ::SendMessageA(GetDlgItem(IDC_INSTALLING_COPY_PROGRESS), PBM_SETPOS, totalFiles, 0);
    ::SetupTermDefaultQueueCallback(context.defaultContext);

    INT reboot = ::SetupPromptReboot(queue, sheet, TRUE);
    theApp.m_bRebootRequired = reboot != -1 && (reboot & SPFILEQ_FILE_IN_USE) != 0;
    ::SetupCloseFileQueue(queue);

    ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

UINT CALLBACK CInstallingPage::QueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    auto* queue = static_cast<QueueContext*>(context);
    if (notification == SPFILENOTIFY_STARTQUEUE) ::UpdateWindow(queue->page);
    if (notification == SPFILENOTIFY_STARTCOPY)
        ::SetDlgItemTextA(queue->page, IDC_INSTALLING_FILE, reinterpret_cast<FILEPATHS_A*>(param1)->Target);
    return ::SetupDefaultQueueCallbackA(queue->defaultContext, notification, param1, param2);
}
