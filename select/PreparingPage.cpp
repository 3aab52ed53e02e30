#include "select/PreparingPage.h"

#include "app/NumberText.h"
#include "app/PageFlow.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "framework/Dpi.h"
#include "res/resource.h"
#include "select/ComponentsPage.h"
#include "select/PreparePackages.h"
#include "select/SizeText.h"
#include "select/SkippedComponentsDlg.h"

#include <memory>

CPreparingPage::CPreparingPage() : CWizardPage(IDD_PREPARING, IDC_PREPARING_TITLE, WM_PAGE_START) {}

BOOL CPreparingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_listPackages = CListViewCtrl(GetDlgItem(IDC_PREPARING_PACKAGES));
    m_listDrives = CListViewCtrl(GetDlgItem(IDC_PREPARING_DRIVES));
    m_listPackages.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_listDrives.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    const int width = m_listPackages.GetClientWidth();
    // Lengths in pixels at 96 DPI, like the pictures, grow with the screen's.
    const UINT dpi = WindowDpi(m_hWnd);
    m_listPackages.InsertColumns({{"Package name", LVCFMT_LEFT, (width - ScaledLength(54, dpi)) / 12 * 4},
                                  {"Current state", LVCFMT_LEFT, (width - ScaledLength(60, dpi)) / 12 * 4},
                                  {"Ver.avail", LVCFMT_LEFT, ScaledLength(53, dpi)},
                                  {"Size", LVCFMT_RIGHT, (width - ScaledLength(26, dpi)) / 12 * 3}});
    const int third = m_listDrives.GetClientWidth() / 3;
    m_listDrives.InsertColumns({{"Drive", LVCFMT_LEFT, third},
                                {"Space required", LVCFMT_RIGHT, third},
                                {"Space avail.", LVCFMT_RIGHT, third}});
    ShowInstallFolder();
    return TRUE;
}

// The boxes show only when downloading.
void CPreparingPage::ShowPictures() {
    CWizardPage::ShowPictures();
    LoadStateImages(m_imageList, m_hWnd);
    if (theApp.m_nDownloadOnly == 1) CListViewCtrl(GetDlgItem(IDC_PREPARING_PACKAGES)).SetStateImageList(m_imageList);
}

BOOL CPreparingPage::OnSetActive() {
    const bool downloadOnly = theApp.m_nDownloadOnly == 1;
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    // Packages are chosen by their boxes only when downloading.
    m_listPackages.SetStateImageList(downloadOnly ? m_imageList.m_hImageList : nullptr);
    const int show = !downloadOnly && theApp.m_nToInstall != 0 ? SW_SHOW : SW_HIDE;
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

LRESULT CPreparingPage::OnWizardNext() {
    if (m_bNotEnoughSpace && theApp.m_options.m_bPassive) {
        EndPassiveRun(kExitFailed, "Not enough disk space");
        return IDD_PREPARING;
    }
    if (m_bNotEnoughSpace) {
        MessageBox("You have not enough hard disk space.\nPlease, examine disk space requirements information,\n"
                   "free up space where needed and press Next button again.");
        return IDD_PREPARING;
    }
    return NextPageAfterPreparing(theApp.m_nPackagesToDownload);
}

BOOL CPreparingPage::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (id != IDC_PREPARING_CHANGE || code != BN_CLICKED) return CWizardPage::OnCommand(id, code, hCtl);
    m_dlgDestination.m_hParent = m_hWnd;
    if (m_dlgDestination.DoModal() == IDOK) {
        ShowInstallFolder();
        FillPackageList();
    }
    return TRUE;
}

BOOL CPreparingPage::OnNotify(NMHDR* pHdr, LRESULT& result) {
    if (pHdr->idFrom != IDC_PREPARING_PACKAGES) return CWizardPage::OnNotify(pHdr, result);
    const int row = BoxListNotify(pHdr, IsOldCommonControls(), result);
    if (row >= 0) TogglePackage(row);
    return TRUE;
}

void CPreparingPage::ShowInstallFolder() const {
    SetDlgItemText(IDC_PREPARING_INSTALL_TO, "Install to  " + theApp.m_strInstallDir);
}

// Without the updated list, package info files that are not here are
// neither fetched nor reported: those packages take no part in the run.
void CPreparingPage::PreparePackages() {
    if (FetchUpdatedComponentList(*this)) theApp.MergeUpdatedComponents();
    m_listPackages.DeleteAllItems();
    int missing = theApp.LoadPackageInfos();
    if (missing != 0 && theApp.m_bComponentListUpdated) missing = FetchPackageInfos(missing);
    if (missing != 0 && theApp.m_bComponentListUpdated) {
        CSkippedComponentsDlg dlg(GetParent());
        if (dlg.DoModal() != IDOK) EndWizard();
    }
    FillPackageList();
    if (theApp.m_nDownloadOnly == 1 && theApp.m_nPackagesToDownload == 0)
        PostWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
}

// The worker works on its own list of files, never on the package records:
// a worker the user gave up on may outlive them. What it fetched counts only
// when it ended by itself.
int CPreparingPage::FetchPackageInfos(int missing) {
    if (!theApp.m_hInternet) return missing;
    auto fetches = std::make_shared<std::vector<CInfoFetch>>(ListPackageInfoFetches(theApp));
    auto removeOwnFiles = [fetches] {
        for (const CInfoFetch& fetch : *fetches) ::DeleteFileA(fetch.m_strOwnPath.c_str());
    };
    const std::string folder = theApp.m_strDownloadDir;
    CWorkerThread worker;
    theApp.m_dlgDownloadWait.RunFetch(
        GetParent(), worker, "package info files...",
        [folder, fetches] { return FetchPackageInfoFiles(theApp, folder, *fetches); }, removeOwnFiles);
    return worker.Claim() ? ApplyPackageInfoFetches(theApp, *fetches, missing) : missing;
}

void CPreparingPage::FillPackageList() {
    {
        const CListFill fill(m_listPackages);
        m_listPackages.DeleteAllItems();
        theApp.ComputePackageDownloads();
        for (const auto& entry : theApp.m_mapPackages) {
            const CPackageInfo& package = *entry.second;
            if (package.m_bNeedInfo) continue;
            const int row = m_listPackages.InsertItem(m_listPackages.GetItemCount(), package.m_pComponent->m_strName,
                                                      reinterpret_cast<LPARAM>(&package));
            if (package.m_nFilesToDownload != 0) m_listPackages.SetStateImage(row, 2);
            const int files = int(package.m_listFiles.size());
            m_listPackages.SetItemText(row, 1,
                                       package.m_nFilesToDownload == 0     ? "available locally"
                                       : package.m_nFilesToDownload < files ? "upgrade available"
                                                                            : "not downloaded");
            m_listPackages.SetItemText(row, 2, VersionToString(package.m_pComponent->m_nVersion));
            m_listPackages.SetItemText(row, 3, FormatSizeK64(package.GetDownloadSize()));
        }
    }
    UpdateDownloadTotal();
    UpdateDiskSpace();
}

void CPreparingPage::UpdateDownloadTotal() const {
    int64_t total = 0;
    for (const auto& entry : theApp.m_mapPackages) total += entry.second->GetDownloadSize();
    SetDlgItemText(IDC_PREPARING_TOTAL, FormatSizeK64(total));
}

// A drive that cannot be asked shows "?" and blocks nothing: the copy
// itself will tell whether the space is there.
void CPreparingPage::UpdateDiskSpace() {
    const std::vector<CDriveSpace> drives = ComputeDriveSpace(theApp);
    m_listDrives.DeleteAllItems();
    for (const CDriveSpace& space : drives) {
        m_listDrives.InsertItem(0, space.m_strDrive, 0);
        m_listDrives.SetItemText(0, 1, FormatSizeK64(space.m_nRequired));
        m_listDrives.SetItemText(0, 2, space.m_nAvailable < 0 ? "?" : FormatSizeK64(space.m_nAvailable));
    }
    m_bNotEnoughSpace = !HasEnoughSpace(drives);
}

void CPreparingPage::TogglePackage(int row) {
    if (theApp.m_nDownloadOnly != 1) return;
    auto* pPackage = reinterpret_cast<CPackageInfo*>(m_listPackages.GetItemData(row));
    if (!pPackage || pPackage->m_bNeedInfo) return;
    const int files = pPackage->SelectFilesToDownload(false);
    if (files == 0) return;
    if (pPackage->m_nFilesToDownload != 0) {
        pPackage->m_nFilesToDownload = 0;
        --theApp.m_nPackagesToDownload;
    } else {
        pPackage->m_nFilesToDownload = files;
        ++theApp.m_nPackagesToDownload;
    }
    m_listPackages.SetStateImage(row, pPackage->m_nFilesToDownload != 0 ? 2 : 1);
    m_listPackages.SetItemText(row, 3, FormatSizeK64(pPackage->GetDownloadSize()));
    UpdateDiskSpace();
    UpdateDownloadTotal();
    PostWizardButtons(theApp.m_nPackagesToDownload == 0 ? PSWIZB_BACK | PSWIZB_FINISH : PSWIZB_BACK | PSWIZB_NEXT);
}
