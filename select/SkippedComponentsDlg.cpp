#include "select/SkippedComponentsDlg.h"

#include "app/SetupApp.h"
#include "res/resource.h"

CSkippedComponentsDlg::CSkippedComponentsDlg(HWND hParent) : CDialog(IDD_SKIPPED_COMPONENTS, hParent) {}

BOOL CSkippedComponentsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_nListMode == 2) {
        SetDlgItemText(IDC_SKIPPED_HEADING,
                       "Setup was unable to download all needed files for the following components:");
        // Nothing would be left to install, or to keep of a download-only run: the only way on is out.
        const int inRun = theApp.m_nDownloadOnly == 1 ? theApp.m_nToDownload : theApp.m_nToInstall;
        if (theApp.m_nPackagesToDownload >= inRun) {
            SetDlgItemText(IDC_SKIPPED_QUESTION,
                           "These components will not be installed/upgraded.\nPress Cancel to exit Setup.");
            ShowDlgItem(IDOK, SW_HIDE);
            // Enter still presses the default button when it is only hidden.
            EnableDlgItem(IDOK, FALSE);
        }
    }
    m_list = CListViewCtrl(GetDlgItem(IDC_SKIPPED_LIST));
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_list.InsertColumns({{"Component", LVCFMT_LEFT, m_list.GetClientWidth()}});
    // A passive run goes on without the components, where it can.
    if (theApp.m_options.m_bPassive)
        ::PostMessageA(m_hWnd, WM_COMMAND, ::IsWindowEnabled(GetDlgItem(IDOK)) ? IDOK : IDCANCEL, 0);
    for (const auto& entry : theApp.m_mapPackages) {
        const CPackageInfo& package = *entry.second;
        CComponent* pComponent = package.m_pComponent;
        if (m_nListMode == 0 && package.m_bNeedInfo) {
            m_list.InsertItem(0, pComponent->m_strName, 0);
            // Without its package info the component cannot take part in the run.
            pComponent->m_nState = 0;
            pComponent->m_nAction = 0;
        } else if (m_nListMode == 2 && !package.m_bNeedInfo && package.m_nFilesToDownload != 0) {
            m_list.InsertItem(0, pComponent->m_strName, 0);
        }
    }
    return TRUE;
}
