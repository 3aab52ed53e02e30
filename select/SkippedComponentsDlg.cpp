#include "select/SkippedComponentsDlg.h"

#include "app/SetupApp.h"
#include "select/PreparePackages.h"
#include "res/resource.h"

CSkippedComponentsDlg::CSkippedComponentsDlg(HWND hParent) : CDialog(IDD_SKIPPED_COMPONENTS, hParent) {}

BOOL CSkippedComponentsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_nListMode == 2) {
        SetDlgItemText(IDC_SKIPPED_HEADING,
                       "Setup was unable to download all needed files for the following components:");
        // The only way on is out.
        if (NothingLeftWithoutSkipped(theApp)) {
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
    for (const CComponent* pComponent : SkipComponents(theApp, m_nListMode == 0))
        m_list.InsertItem(0, pComponent->m_strName, 0);
    return TRUE;
}
