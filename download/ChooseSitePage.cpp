#include "download/ChooseSitePage.h"

#include "app/SetupApp.h"
#include "res/resource.h"

CChooseSitePage::CChooseSitePage() : CWizardPage(IDD_CHOOSE_SITE, IDC_SITES_TITLE) {}

CListViewCtrl CChooseSitePage::SiteList() const { return CListViewCtrl(GetDlgItem(IDC_SITES_LIST)); }

// Next is offered exactly while a site is selected.
BOOL CChooseSitePage::OnSetActive() {
    PostWizardButtons(SiteList().GetSelectedItem() >= 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    return CWizardPage::OnSetActive();
}

BOOL CChooseSitePage::OnKillActive() {
    const CListViewCtrl list = SiteList();
    const int row = list.GetSelectedItem();
    if (row >= 0) theApp.m_pSelectedSite = reinterpret_cast<CDownloadSite*>(list.GetItemData(row));
    return CWizardPage::OnKillActive();
}
