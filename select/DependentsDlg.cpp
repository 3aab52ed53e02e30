#include "select/DependentsDlg.h"

#include "res/resource.h"

CDependentsDlg::CDependentsDlg(HWND hParent) : CDialog(IDD_DEPENDENTS, hParent) {}

BOOL CDependentsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_DEPENDENTS_HEADING, "The following components depends on '" + m_pComponent->m_strName +
                                               "' and will be also removed:");
    m_list = CListViewCtrl(GetDlgItem(IDC_DEPENDENTS_LIST));
    m_list.InsertColumns({{"Component name", LVCFMT_LEFT, m_list.GetClientWidth()}});
    WalkDependents(*m_pComponent, [this](const CComponent& dependent) {
        m_list.InsertItem(0, dependent.m_strName, 0);
    });
    return TRUE;
}

BOOL CDependentsDlg::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (code == BN_CLICKED && (id == IDYES || id == IDNO)) {
        EndDialog(id);
        return TRUE;
    }
    return CDialog::OnCommand(id, code, hCtl);
}
