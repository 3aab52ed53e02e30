#include "app/WelcomePage.h"

#include "app/SetupApp.h"
#include "res/resource.h"

CWelcomePage::CWelcomePage() : CPropertyPage(IDD_WELCOME) {
    m_fontTitle.CreateFont(-32, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                           CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
    m_fontSubtitle.CreateFont(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                              CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
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
