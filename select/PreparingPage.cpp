#include "select/PreparingPage.h"

#include "app/PageFlow.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "res/resource.h"
#include "select/SizeText.h"

CPreparingPage::CPreparingPage() : CWizardPage(IDD_PREPARING, IDC_PREPARING_TITLE) {}

BOOL CPreparingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_listPackages = CListViewCtrl(GetDlgItem(IDC_PREPARING_PACKAGES));
    m_listDrives = CListViewCtrl(GetDlgItem(IDC_PREPARING_DRIVES));
    m_listPackages.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_listDrives.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_imageList.LoadBitmapImages(IDB_STATE_IMAGES, 15, RGB(255, 0, 255));
    const int width = m_listPackages.GetClientWidth();
    m_listPackages.InsertColumns({{"Package name", LVCFMT_LEFT, (width - 54) / 12 * 4},
                                  {"Current state", LVCFMT_LEFT, (width - 60) / 12 * 4},
                                  {"Ver.avail", LVCFMT_LEFT, 53},
                                  {"Size", LVCFMT_RIGHT, (width - 26) / 12 * 3}});
    const int third = m_listDrives.GetClientWidth() / 3;
    m_listDrives.InsertColumns({{"Drive", LVCFMT_LEFT, third},
                                {"Space required", LVCFMT_RIGHT, third},
                                {"Space avail.", LVCFMT_RIGHT, third}});
    SetDlgItemText(IDC_PREPARING_INSTALL_TO, "Install to  " + theApp.m_strInstallDir);
    SetDlgItemText(IDC_PREPARING_TOTAL, FormatSizeK(0));
    return TRUE;
}

BOOL CPreparingPage::OnSetActive() {
    bool downloadOnly = theApp.m_nDownloadOnly == 1;
    PostWizardButtons(PreparingButtons(theApp.m_nDownloadOnly, theApp.m_nPackagesToDownload));
    // Packages are chosen by their boxes only when downloading.
    m_listPackages.SetStateImageList(downloadOnly ? m_imageList.m_hImageList : nullptr);
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
