// The region and the download site to fetch the package files from.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CChooseSitePage : public CWizardPage {
public:
    CChooseSitePage();

    // Brings the sites list from the setup web site into the download folder
    // while the wait dialog shows: 1 when it did, else fallback.
    int RefreshLocations(int fallback);
    // The sites of the region chosen, the last of the file on top; none selected.
    void FillSitesList();
    void SelectPassiveSite();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnCommand(WORD id, WORD code, HWND hCtl) override;
    BOOL OnNotify(NMHDR* pHdr, LRESULT& result) override;
    void OnPageStart() override;

private:
    CComboBox m_comboRegions;
    CListViewCtrl m_listViewSites;
};
