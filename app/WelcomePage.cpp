#include "app/WelcomePage.h"

#include "app/SetupApp.h"
#include "app/WizardPage.h"
#include "res/resource.h"

CWelcomePage::CWelcomePage() : CPropertyPage(IDD_WELCOME) {
    CreateHeadingFont(m_fontTitle, -32, FW_BOLD);
    CreateHeadingFont(m_fontSubtitle, -24, FW_NORMAL);
}

BOOL CWelcomePage::OnInitDialog() {
    SetDlgItemFont(IDC_WELCOME_TITLE, m_fontTitle);
    SetDlgItemFont(IDC_WELCOME_SUBTITLE, m_fontSubtitle);
    SetDlgItemText(IDC_WELCOME_TITLE, theApp.m_strProductName);
    return TRUE;
}

BOOL CWelcomePage::OnSetActive() {
    PostWizardButtons(PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

BOOL CWelcomePage::OnKillActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnKillActive();
}
