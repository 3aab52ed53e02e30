#include "pages/InstallOrDownloadPage.h"

#include "app/FolderBrowser.h"
#include "app/PageFlow.h"
#include "app/ProfileSection.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "res/resource.h"

CInstallOrDownloadPage::CInstallOrDownloadPage()
    : CWizardPage(IDD_INSTALL_OR_DOWNLOAD, IDC_MODE_TITLE), m_strFolder(theApp.RunDownloadFolder()) {}

void CInstallOrDownloadPage::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, IDC_MODE_INSTALL, m_nMode);
    DDX_Text(pDX, IDC_MODE_FOLDER, m_strFolder);
}

BOOL CInstallOrDownloadPage::OnSetActive() {
    const std::string& downloadOnlyFolder = theApp.m_options.m_strDownloadOnlyDir;
    if (theApp.m_options.m_bPassive && !downloadOnlyFolder.empty()) {
        m_nMode = 1;
        m_strFolder = downloadOnlyFolder;
        UpdateData(FALSE);
    }
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

// Mode and folder are kept whichever way the page is left.
BOOL CInstallOrDownloadPage::OnKillActive() {
    StoreChoices();
    return TRUE;
}

void CInstallOrDownloadPage::StoreChoices() {
    UpdateData(TRUE);
    theApp.m_nDownloadOnly = m_nMode;
    m_strFolder = WithTrailingBackslash(m_strFolder);
    theApp.m_strDownloadDir = m_strFolder;
    if (theApp.m_options.m_strSourceDir.empty()) WriteRegString(ZEP_CLIENT_KEY, "DownloadPath", m_strFolder.c_str());
}

LRESULT CInstallOrDownloadPage::OnWizardNext() {
    UpdateData(TRUE);
    return NextPageAfterInstallOrDownload(m_nMode);
}

BOOL CInstallOrDownloadPage::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (id == IDC_MODE_BROWSE && code == BN_CLICKED) {
        std::string folder;
        // The browser opens at the folder in the edit field, without its trailing backslash.
        const auto editFolder = [this] {
            UpdateData(TRUE);
            if (!m_strFolder.empty() && m_strFolder.back() == '\\') m_strFolder.pop_back();
            return m_strFolder;
        };
        if (BrowseForFolder(m_hWnd, "Select folder for ZEP", editFolder, folder))
            SetDlgItemText(IDC_MODE_FOLDER, folder);
        return TRUE;
    }
    return CWizardPage::OnCommand(id, code, hCtl);
}
