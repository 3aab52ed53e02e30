#include "app/WelcomePage.h"

#include "app/SetupApp.h"
#include "framework/Dpi.h"
#include "res/resource.h"

namespace {

constexpr int kTitleHeight = -32, kSubtitleHeight = -24;

}  // namespace

CWelcomePage::CWelcomePage() : CPropertyPage(IDD_WELCOME) {
    CreateHeadingFont(m_fontTitle, kTitleHeight, FW_BOLD);
    CreateHeadingFont(m_fontSubtitle, kSubtitleHeight, FW_NORMAL);
}

BOOL CWelcomePage::OnInitDialog() {
    ShowPictures();
    SetDlgItemText(IDC_WELCOME_TITLE, theApp.m_strProductName);
    return TRUE;
}

void CWelcomePage::ShowPictures() {
    m_sidePicture.Show(m_hWnd);
    const UINT dpi = WindowDpi(m_hWnd);
    CreateHeadingFont(m_fontTitle, kTitleHeight, FW_BOLD, dpi);
    CreateHeadingFont(m_fontSubtitle, kSubtitleHeight, FW_NORMAL, dpi);
    SetDlgItemFont(IDC_WELCOME_TITLE, m_fontTitle);
    SetDlgItemFont(IDC_WELCOME_SUBTITLE, m_fontSubtitle);
}

BOOL CWelcomePage::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg != WM_DPICHANGED_AFTERPARENT) return FALSE;
    ShowPictures();
    result = 0;
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
