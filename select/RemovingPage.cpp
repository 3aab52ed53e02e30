#include "select/RemovingPage.h"

#include "app/Component.h"
#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"

namespace {

// Enough to tell what a tampered log asked for without a box taller than the screen.
constexpr size_t kMaxSkippedShown = 10;

}  // namespace

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

void CRemovingPage::RemoveSelectedComponents() {
    SetDlgItemText(IDC_REMOVING_PROGRESS, "Removing selected components...");
    SetDlgItemText(IDC_REMOVING_HINT, "");
    SetDlgItemText(IDC_REMOVING_FILE, "");
    ShowProgressLines(SW_SHOWNA);
    const std::vector<std::string> skippedRecords = RemoveMarkedComponents(theApp, *this);
    if (!skippedRecords.empty()) {
        std::string text = "Removal left alone these install log records, which name no file of the product:";
        for (size_t i = 0; i < skippedRecords.size() && i < kMaxSkippedShown; ++i) text += "\n" + skippedRecords[i];
        if (skippedRecords.size() > kMaxSkippedShown) text += "\n...";
        MessageBox(text);
    }
    SetDlgItemText(IDC_REMOVING_PROGRESS, "Components removing complete.");
    SetDlgItemText(IDC_REMOVING_HINT, RemovalDoneHint(theApp.m_nToInstall));
    PostWizardButtons(RemovalDoneButtons(theApp.m_nToInstall));
    ShowProgressLines(SW_HIDE);
}

void CRemovingPage::OnRemovingComponent(const CComponent& comp) {
    SetDlgItemText(IDC_REMOVING_COMPONENT, comp.m_strName);
    ::UpdateWindow(GetDlgItem(IDC_REMOVING_COMPONENT));
}

void CRemovingPage::OnDeletingFile(const std::string& path) {
    SetDlgItemText(IDC_REMOVING_FILE, path);
    ::UpdateWindow(GetDlgItem(IDC_REMOVING_FILE));
}
