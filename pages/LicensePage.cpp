#include "pages/LicensePage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"

CLicensePage::CLicensePage() : CWizardPage(IDD_LICENSE, IDC_LICENSE_TITLE) {}

void CLicensePage::DoDataExchange(CDataExchange* pDX) {
    m_edit = ::GetDlgItem(pDX->m_hDlg, IDC_LICENSE_TEXT);
    DDX_Text(pDX, IDC_LICENSE_TEXT, m_strLicense);
    DDX_Radio(pDX, IDC_LICENSE_ACCEPT, m_nAccept);
}

// The bytes are shown as they are; a zero byte ends the text of its block.
void CLicensePage::ReadLicenseFile() {
    HANDLE file = ::CreateFileA("license.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_strLicense = "License file not found";
        return;
    }
    char block[1025];
    DWORD read = 0;
    while (::ReadFile(file, block, 1024, &read, nullptr) && read > 0) {
        block[read] = '\0';
        m_strLicense += block;
    }
    ::CloseHandle(file);
}

BOOL CLicensePage::OnInitDialog() {
    if (m_strLicense.empty()) ReadLicenseFile();
    return CWizardPage::OnInitDialog();
}

BOOL CLicensePage::OnSetActive() {
    if (theApp.m_options.m_bPassive && !theApp.m_options.m_bAcceptLicense) {
        EndPassiveRun(kExitCancelled, kLicenseNotAccepted);
    } else if (theApp.m_options.m_bPassive) {
        m_nAccept = 0;
        UpdateData(FALSE);
    }
    PostWizardButtons(LicenseButtons(m_nAccept));
    return CWizardPage::OnSetActive();
}

BOOL CLicensePage::OnKillActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnKillActive();
}

BOOL CLicensePage::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (id == IDC_LICENSE_ACCEPT && code == BN_CLICKED) {
        PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
        return TRUE;
    }
    if (id == IDC_LICENSE_DECLINE && code == BN_CLICKED) {
        PostWizardButtons(PSWIZB_BACK);
        return TRUE;
    }
    if (id == IDC_LICENSE_TEXT && code == EN_SETFOCUS) {
        // Clicking into the text selects nothing and shows its beginning.
        ::SendMessageA(hCtl, EM_SETSEL, 0, 0);
        ::SendMessageA(hCtl, EM_SCROLLCARET, 0, 0);
        return TRUE;
    }
    return CWizardPage::OnCommand(id, code, hCtl);
}
