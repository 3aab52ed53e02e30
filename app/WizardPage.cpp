#include "app/WizardPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"

CWizardPage::CWizardPage(UINT nIDTemplate, int nTitleId) : CPropertyPage(nIDTemplate), m_nTitleId(nTitleId) {
    m_fontTitle.CreateFont(-27, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                           CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

BOOL CWizardPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    SetDlgItemFont(m_nTitleId, m_fontTitle);
    return TRUE;
}

BOOL CWizardPage::OnQueryCancel() {
    switch (CancelRuleFor(int(m_nIDTemplate), theApp.m_nToInstall)) {
    case CancelRule::Ask:
        return MessageBox("Setup process is incomplete.\nAre you sure you want to cancel ?", MB_YESNO) == IDYES;
    case CancelRule::Refuse:
        return FALSE;
    case CancelRule::Close:
        break;
    }
    return TRUE;
}
