#include "download/ChooseSitePage.h"

#include "app/SetupApp.h"
#include "res/resource.h"

#include <commctrl.h>

CChooseSitePage::CChooseSitePage() : CWizardPage(IDD_CHOOSE_SITE, IDC_SITES_TITLE) {}

int CChooseSitePage::SelectedSiteRow() const {
    return int(::SendMessageA(GetDlgItem(IDC_SITES_LIST), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

// Next is offered exactly while a site is selected.
BOOL CChooseSitePage::OnSetActive() {
    PostWizardButtons(SelectedSiteRow() >= 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    return CWizardPage::OnSetActive();
}

BOOL CChooseSitePage::OnKillActive() {
    int row = SelectedSiteRow();
    if (row >= 0) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ::SendMessageA(GetDlgItem(IDC_SITES_LIST), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        theApp.m_pSelectedSite = reinterpret_cast<CDownloadSite*>(item.lParam);
    }
    return CWizardPage::OnKillActive();
}
