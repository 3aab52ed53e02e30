#include "select/RemovingPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"

CRemovingPage::CRemovingPage() : CWizardPage(IDD_REMOVING, IDC_REMOVING_TITLE, WM_PAGE_START) {}

BOOL CRemovingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    SetDlgItemText(IDC_REMOVING_COMPONENT, "");
    SetDlgItemText(IDC_REMOVING_FILE, "");
    SetDlgItemText(IDC_REMOVING_HINT, "");
    return TRUE;
}

BOOL CRemovingPage::OnSetActive() {
    PostWizardButtons(0);
    return CWizardPage::OnSetActive();
}

LRESULT CRemovingPage::OnWizardNext() { return IDD_PREPARING; }

void CRemovingPage::OnPageStart() { RemoveSelectedComponents(); }

void CRemovingPage::ShowProgressLines(int nCmdShow) const {
    for (int id : {IDC_REMOVING_COMPONENT_LABEL, IDC_REMOVING_FILE_LABEL, IDC_REMOVING_FILE, IDC_REMOVING_COMPONENT})
        ShowDlgItem(id, nCmdShow);
}

// The removal of each marked component comes with the install log reader;
// the page already reports the end and offers the way on.
void CRemovingPage::RemoveSelectedComponents() {
    SetDlgItemText(IDC_REMOVING_PROGRESS, "Removing selected components...");
    SetDlgItemText(IDC_REMOVING_HINT, "");
    ShowProgressLines(SW_SHOWNA);
    SetDlgItemText(IDC_REMOVING_PROGRESS, "Components removing complete.");
    SetDlgItemText(IDC_REMOVING_HINT, RemovalDoneHint(theApp.m_nToInstall));
    PostWizardButtons(RemovalDoneButtons(theApp.m_nToInstall));
    ShowProgressLines(SW_HIDE);
}
