#include "download/ChooseSitePage.h"

#include "app/SetupApp.h"
#include "download/IniFileFetch.h"
#include "res/resource.h"

CChooseSitePage::CChooseSitePage()
    : CWizardPage(IDD_CHOOSE_SITE, IDC_SITES_TITLE, WM_PAGE_START, PageStart::Creation) {}

BOOL CChooseSitePage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_comboRegions = CComboBox(GetDlgItem(IDC_SITES_REGIONS));
    m_listViewSites = CListViewCtrl(GetDlgItem(IDC_SITES_LIST));
    return TRUE;
}

// Next is offered exactly while a site is selected.
BOOL CChooseSitePage::OnSetActive() {
    PostWizardButtons(m_listViewSites.GetSelectedItem() >= 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    return CWizardPage::OnSetActive();
}

BOOL CChooseSitePage::OnKillActive() {
    const int row = m_listViewSites.GetSelectedItem();
    if (row >= 0) theApp.m_pSelectedSite = reinterpret_cast<CDownloadSite*>(m_listViewSites.GetItemData(row));
    return CWizardPage::OnKillActive();
}

BOOL CChooseSitePage::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (id != IDC_SITES_REGIONS || code != CBN_SELCHANGE) return CWizardPage::OnCommand(id, code, hCtl);
    FillSitesList();
    return TRUE;
}

// Only a change of the selection counts: the focus moving on its own leaves
// a selected site selected.
BOOL CChooseSitePage::OnNotify(NMHDR* pHdr, LRESULT& result) {
    if (pHdr->idFrom != IDC_SITES_LIST || pHdr->code != LVN_ITEMCHANGED) return CWizardPage::OnNotify(pHdr, result);
    const auto* pChange = reinterpret_cast<const NMLISTVIEW*>(pHdr);
    if ((pChange->uChanged & LVIF_STATE) && ((pChange->uOldState ^ pChange->uNewState) & LVIS_SELECTED))
        PostWizardButtons(pChange->uNewState & LVIS_SELECTED ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    result = 0;
    return TRUE;
}

// Whether or not the refresh worked, the page goes on with whichever copy
// of the list it finds.
void CChooseSitePage::OnPageStart() {
    RefreshLocations(0);
    if (!theApp.LoadLocations()) {
        MessageBox("Setup Wizard was unable to load Locations List.\nCannot continue.", MB_OKCANCEL);
        EndWizard();
        return;
    }
    m_listViewSites.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_listViewSites.InsertColumns({{"Site", LVCFMT_LEFT, m_listViewSites.GetClientWidth() - 1}});
    // Each name goes in front of the one before: for regions 1 to 16 the
    // newest-first map lists them in file order. Each carries its region index.
    m_comboRegions.ResetContent();
    theApp.m_mapRegions.ForEach([this](int index, const std::string* pName) {
        m_comboRegions.SetItemData(m_comboRegions.InsertString(0, *pName), index);
    });
    m_comboRegions.SetCurSel(0);
    FillSitesList();
    if (theApp.m_options.m_bPassive) SelectPassiveSite();
}

// The site of /site:, an address of its own shown in the region shown;
// selected as a click selects it.
void CChooseSitePage::SelectPassiveSite() {
    const int shown = m_comboRegions.GetCurSel();
    CDownloadSite* pChosen = theApp.SiteOfOptions(shown < 0 ? 0 : int(m_comboRegions.GetItemData(shown)));
    if (!pChosen) {
        EndPassiveRun(kExitFailed, "No site " + std::to_string(theApp.m_options.m_nSite) + " in the sites list");
        return;
    }
    for (int i = 0; i < m_comboRegions.GetCount(); ++i)
        if (int(m_comboRegions.GetItemData(i)) == pChosen->m_nRegion) m_comboRegions.SetCurSel(i);
    FillSitesList();
    const int row = m_listViewSites.FindItemByData(reinterpret_cast<LPARAM>(pChosen));
    if (row < 0)
        EndPassiveRun(kExitFailed, "The site " + WithoutUserInfo(pChosen->m_strURL) + " has no region to show it in");
    else
        m_listViewSites.SelectItem(row);
}

int CChooseSitePage::RefreshLocations(int fallback) {
    return FetchSetupIniFile(GetParent(), theApp.m_dlgDownloadWait, theApp, theApp.m_strLocationsInfo, "Locations",
                             "locations...", TrustedFileCheck(theApp, theApp.m_strLocationsInfo))
               ? 1
               : fallback;
}

// A site belongs to the region chosen when its region index is the one the
// region's entry carries, whatever the entry's position.
void CChooseSitePage::FillSitesList() {
    const int selected = m_comboRegions.GetCurSel();
    m_listViewSites.DeleteAllItems();
    PostWizardButtons(PSWIZB_BACK);
    if (selected < 0) return;
    const int region = int(m_comboRegions.GetItemData(selected));
    for (CDownloadSite* pSite : theApp.m_listSites)
        if (pSite->m_nRegion == region)
            m_listViewSites.InsertItem(0, pSite->m_strDisplay, reinterpret_cast<LPARAM>(pSite));
}
