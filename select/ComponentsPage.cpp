#include "select/ComponentsPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"
#include "select/ListView.h"

CComponentsPage::CComponentsPage() : CWizardPage(IDD_COMPONENTS, IDC_COMPONENTS_TITLE) {}

BOOL CComponentsPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_list = GetDlgItem(IDC_COMPONENTS_LIST);
    ::SendMessageA(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    m_imageList = LoadStateImages();
    ::SendMessageA(m_list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(m_imageList));
    int width = ListClientWidth(m_list);
    InsertListColumn(m_list, 0, "Component", LVCFMT_LEFT, (width - 26) / 12 * 5);
    InsertListColumn(m_list, 1, "Current state", LVCFMT_LEFT, (width - 60) / 12 * 4);
    InsertListColumn(m_list, 2, "Ver.avail", LVCFMT_LEFT, 53);
    InsertListColumn(m_list, 3, "Action", LVCFMT_LEFT, (width - 26) / 12 * 2);
    return TRUE;
}

BOOL CComponentsPage::OnSetActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CComponentsPage::OnWizardNext() { return NextPageAfterComponents(theApp.m_nToRemove); }

void CComponentsPage::OnDestroy() {
    ::SendMessageA(m_list, LVM_SETIMAGELIST, LVSIL_STATE, 0);
    ::ImageList_Destroy(m_imageList);
    m_imageList = nullptr;
}
