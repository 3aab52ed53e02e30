#include "select/DependentsDlg.h"

#include "res/resource.h"

CDependentsDlg::CDependentsDlg(HWND hParent) : CDialog(IDD_DEPENDENTS, hParent) {}

BOOL CDependentsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_DEPENDENTS_HEADING, "The following components depends on '" + m_pComponent->m_strName +
                                               "' and will be also removed:");
    m_list = CListViewCtrl(GetDlgItem(IDC_DEPENDENTS_LIST));
    m_list.InsertColumns({{"Component name", LVCFMT_LEFT, m_list.GetClientWidth()}});
    std::set<const CComponent*> visited{m_pComponent};
    ListDependents(*m_pComponent, visited);
    return TRUE;
}

// Depth first, each row in front of the earlier ones; the catalogue may name
// dependencies in a circle, so a component is listed at most once.
void CDependentsDlg::ListDependents(const CComponent& component, std::set<const CComponent*>& visited) {
    for (const CComponent* pDependent : component.m_mapDependents) {
        if (!visited.insert(pDependent).second) continue;
        m_list.InsertItem(0, pDependent->m_strName, 0);
        ListDependents(*pDependent, visited);
    }
}

BOOL CDependentsDlg::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (code == BN_CLICKED && (id == IDYES || id == IDNO)) {
        EndDialog(id);
        return TRUE;
    }
    return CDialog::OnCommand(id, code, hCtl);
}
