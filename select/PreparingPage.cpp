#include "select/PreparingPage.h"

#include "app/PageFlow.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "res/resource.h"
#include "select/ListView.h"
#include "select/SizeText.h"

CPreparingPage::CPreparingPage() : CWizardPage(IDD_PREPARING, IDC_PREPARING_TITLE) {}

BOOL CPreparingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_listPackages = GetDlgItem(IDC_PREPARING_PACKAGES);
    m_listDrives = GetDlgItem(IDC_PREPARING_DRIVES);
    for (HWND list : {m_listPackages, m_listDrives})
        ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    m_imageList = LoadStateImages();
    int width = ListClientWidth(m_listPackages);
    InsertListColumn(m_listPackages, 0, "Package name", LVCFMT_LEFT, (width - 54) / 12 * 4);
    InsertListColumn(m_listPackages, 1, "Current state", LVCFMT_LEFT, (width - 60) / 12 * 4);
    InsertListColumn(m_listPackages, 2, "Ver.avail", LVCFMT_LEFT, 53);
    InsertListColumn(m_listPackages, 3, "Size", LVCFMT_RIGHT, (width - 26) / 12 * 3);
    int third = ListClientWidth(m_listDrives) / 3;
    InsertListColumn(m_listDrives, 0, "Drive", LVCFMT_LEFT, third);
    InsertListColumn(m_listDrives, 1, "Space required", LVCFMT_RIGHT, third);
    InsertListColumn(m_listDrives, 2, "Space avail.", LVCFMT_RIGHT, third);
    SetDlgItemText(IDC_PREPARING_INSTALL_TO, "Install to  " + theApp.m_strInstallDir);
    SetDlgItemText(IDC_PREPARING_TOTAL, FormatSizeK(0));
    return TRUE;
}

BOOL CPreparingPage::OnSetActive() {
    bool downloadOnly = theApp.m_nDownloadOnly == 1;
    PostWizardButtons(PreparingButtons(theApp.m_nDownloadOnly, theApp.m_nPackagesToDownload));
    // Packages are chosen by their boxes only when downloading.
    ::SendMessageA(m_listPackages, LVM_SETIMAGELIST, LVSIL_STATE,
                   reinterpret_cast<LPARAM>(downloadOnly ? m_imageList : nullptr));
    int show = !downloadOnly && theApp.m_nToInstall != 0 ? SW_SHOW : SW_HIDE;
    ShowDlgItem(IDC_PREPARING_INSTALL_TO, show);
    ShowDlgItem(IDC_PREPARING_CHANGE, show);
    return CWizardPage::OnSetActive();
}

// The install folder is remembered for the next run in either mode.
BOOL CPreparingPage::OnKillActive() {
    WriteRegString(ZEP_CLIENT_KEY, "Path", theApp.m_strInstallDir.c_str());
    return CWizardPage::OnKillActive();
}

LRESULT CPreparingPage::OnWizardBack() { return BackPageFromPreparing(theApp.m_nDownloadOnly); }

LRESULT CPreparingPage::OnWizardNext() { return NextPageAfterPreparing(theApp.m_nPackagesToDownload); }

void CPreparingPage::OnDestroy() {
    ::SendMessageA(m_listPackages, LVM_SETIMAGELIST, LVSIL_STATE, 0);
    ::ImageList_Destroy(m_imageList);
    m_imageList = nullptr;
}
