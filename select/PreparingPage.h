// The packages of the selection with their sizes, and the disk space.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "select/DestinationDlg.h"


class CPreparingPage : public CWizardPage {
public:
    CPreparingPage();

    // The number of packages still without their package info afterwards.
    int FetchPackageInfos(int missing);
    void TogglePackage(int row);

protected:
    BOOL OnInitDialog() override;
    void ShowPictures() override;
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
