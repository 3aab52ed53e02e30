#include "select/ComponentsPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"

CComponentsPage::CComponentsPage() : CWizardPage(IDD_COMPONENTS, IDC_COMPONENTS_TITLE) {}

BOOL CComponentsPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_list = CListViewCtrl(GetDlgItem(IDC_COMPONENTS_LIST));
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_imageList.LoadBitmapImages(IDB_STATE_IMAGES, 15, RGB(255, 0, 255));
    m_list.SetStateImageList(m_imageList);
    const int width = m_list.GetClientWidth();
    m_list.InsertColumns({{"Component", LVCFMT_LEFT, (width - 26) / 12 * 5},
                          {"Current state", LVCFMT_LEFT, (width - 60) / 12 * 4},
                          {"Ver.avail", LVCFMT_LEFT, 53},
                          {"Action", LVCFMT_LEFT, (width - 26) / 12 * 2}});
    return TRUE;
}

BOOL CComponentsPage::OnSetActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CComponentsPage::OnWizardNext() { return NextPageAfterComponents(theApp.m_nToRemove); }
