#include "pages/FinishPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "app/UninstallEntry.h"
#include "res/resource.h"

CFinishPage::CFinishPage() : CWizardPage(IDD_FINISH, IDC_FINISH_TITLE) {}

void CFinishPage::DoDataExchange(CDataExchange* pDX) { DDX_Radio(pDX, IDC_FINISH_REBOOT_NOW, m_nReboot); }

BOOL CFinishPage::OnSetActive() {
    // A passive run, or one told /norestart, never restarts the computer: the exit code tells.
    const bool bNoRestart = theApp.m_options.m_bPassive || theApp.m_options.m_bNoRestart;
    if (bNoRestart) {
        m_nReboot = 1;
        UpdateData(FALSE);
    }
    PostWizardButtons(PSWIZB_FINISH);
    if (!theApp.m_bInstallSucceeded)
        SetDlgItemText(IDC_FINISH_OUTCOME, "Setup Wizard failed to copy files. Selected components were not installed.");
    if (theApp.m_bRebootRequired) {
        ShowDlgItem(IDC_FINISH_REBOOT_NOTICE, SW_SHOW);
        ShowDlgItem(IDC_FINISH_REBOOT_NOW, theApp.m_options.m_bNoRestart ? SW_HIDE : SW_SHOW);
        ShowDlgItem(IDC_FINISH_REBOOT_LATER, SW_SHOW);
    }
    return CWizardPage::OnSetActive();
}

// The entry's commands run the kept copy: both are whole before the computer shuts down.
BOOL CFinishPage::OnWizardFinish() {
    UpdateData(TRUE);
    if (!RebootOnFinish(theApp.m_bRebootRequired, m_nReboot)) return TRUE;
    if (theApp.m_bInstalledComponentsChanged) {
        UpdateUninstallEntry(theApp);
        theApp.m_bInstalledComponentsChanged = false;
    }
    theApp.m_bRestartStarted = RequestReboot();
    if (!theApp.m_bRestartStarted) MessageBox("Failed to initiate system reboot. You must reboot manually");
    return TRUE;
}

bool g_bRefuseShutdownPrivilege = false;

static bool EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (g_bRefuseShutdownPrivilege ||
        !::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges{};
    ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // Also fails when the call succeeds without assigning the privilege.
    bool enabled = ::GetLastError() == ERROR_SUCCESS;
    ::CloseHandle(token);
    return enabled;
}

bool CFinishPage::RequestReboot() const {
    if (theApp.m_bWinNT && !EnableShutdownPrivilege()) return false;
    return ::ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
}
