// The packages of the selection with their sizes, and the disk space.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "select/DestinationDlg.h"

#include <cstdint>
#include <string>
#include <vector>

// The space one drive needs and has; available is -1 when the drive could
// not be asked.
struct CDriveSpace {
    std::string m_strDrive;
    int64_t m_nRequired = 0;
    int64_t m_nAvailable = 0;
};

// One package info file to fetch: where from, where to, and the version it
// must have. The worker fetches into a file of its own; the page moves it
// into place once it has the worker's result.
struct CInfoFetch {
    std::string m_strKey;
    std::string m_strUrl;
    std::string m_strLocalPath;
    std::string m_strOwnPath;
    int m_nVersion = 0;
    bool m_bFetched = false;
};

class CPreparingPage : public CWizardPage {
public:
    CPreparingPage();

    // The number of packages still without their package info afterwards.
    int FetchPackageInfos(int missing);
    // The worker: fetches each file into the download folder as it was when
    // the fetch began; the number it could not get.
    static int PackageInfoWorker(const std::string& folder, std::vector<CInfoFetch>& fetches);
    void TogglePackage(int row);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    BOOL OnCommand(WORD id, WORD code, HWND hCtl) override;
    BOOL OnNotify(NMHDR* pHdr, LRESULT& result) override;
    void OnPageStart() override { PreparePackages(); }

private:
    void PreparePackages();
    void FillPackageList();
    void UpdateDownloadTotal() const;
    void UpdateDiskSpace();
    void ShowInstallFolder() const;

    CListViewCtrl m_listDrives;
    CListViewCtrl m_listPackages;
    CImageList m_imageList;
    CDestinationDlg m_dlgDestination;
    bool m_bNotEnoughSpace = false;
};
