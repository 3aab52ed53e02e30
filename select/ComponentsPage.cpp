#include "select/ComponentsPage.h"

#include "app/NumberText.h"
#include "app/OldProducts.h"
#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "download/IniFileFetch.h"
#include "framework/Dpi.h"
#include "res/resource.h"
#include "select/ComponentStates.h"
#include "select/DependentsDlg.h"

bool FetchUpdatedComponentList(CWizardPage& page) {
    if (theApp.m_bComponentListUpdated) return false;
    CatalogueVerdict verdict;
    if (FetchSetupIniFile(page.GetParent(), theApp.m_dlgDownloadWait, theApp, kComponentList, "Product",
                          "components list...", SignedComponentListCheck(theApp, verdict))) {
        theApp.m_bComponentListUpdated = true;
        return true;
    }
    if (verdict != CatalogueVerdict::kVerified) page.MessageBox(CatalogueRefusalText(verdict), MB_OK);
    if (page.MessageBox("Setup was unable to get updated components list from ZEP Setup internet site.\n"
                        " Do you want to preceed with local components list ?",
                        MB_YESNO) != IDYES)
        page.EndWizard();
    return false;
}

CComponentsPage::CComponentsPage() : CWizardPage(IDD_COMPONENTS, IDC_COMPONENTS_TITLE, WM_PAGE_REFRESH) {}

BOOL CComponentsPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_list = CListViewCtrl(GetDlgItem(IDC_COMPONENTS_LIST));
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    const int width = m_list.GetClientWidth();
    // Lengths in pixels at 96 DPI, like the pictures, grow with the screen's.
    const UINT dpi = WindowDpi(m_hWnd);
    m_list.InsertColumns({{"Component", LVCFMT_LEFT, (width - ScaledLength(26, dpi)) / 12 * 5},
                          {"Current state", LVCFMT_LEFT, (width - ScaledLength(60, dpi)) / 12 * 4},
                          {"Ver.avail", LVCFMT_LEFT, ScaledLength(53, dpi)},
                          {"Action", LVCFMT_LEFT, (width - ScaledLength(26, dpi)) / 12 * 2}});
    DetectOldProducts(theApp);
    return TRUE;
}

void CComponentsPage::ShowPictures() {
    CWizardPage::ShowPictures();
    LoadStateImages(m_imageList, m_hWnd);
    CListViewCtrl(GetDlgItem(IDC_COMPONENTS_LIST)).SetStateImageList(m_imageList);
}

BOOL CComponentsPage::OnSetActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CComponentsPage::OnWizardNext() {
    LogSelection(theApp.m_mapComponents, theApp.m_log);
    return NextPageAfterComponents(theApp.m_nToRemove);
}

BOOL CComponentsPage::OnNotify(NMHDR* pHdr, LRESULT& result) {
    if (pHdr->idFrom != IDC_COMPONENTS_LIST) return CWizardPage::OnNotify(pHdr, result);
    const int row = BoxListNotify(pHdr, IsOldCommonControls(), result);
    // A click beside the boxes still recounts and resets the buttons.
    if (row >= 0)
        ToggleComponent(row);
    else if (pHdr->code == NM_CLICK || pHdr->code == NM_DBLCLK)
        UpdateSelectionCounts();
    return TRUE;
}

void CComponentsPage::RefreshComponentList() {
    FetchUpdatedComponentList(*this);
    // Also a list fetched by an earlier run.
    theApp.MergeUpdatedComponents();
    theApp.ComputeComponentStates();
    std::string unknownKey;
    const CSetupOptions& options = theApp.m_options;
    const std::vector<std::string> remove = KeysToRemove(theApp.m_mapComponents, options);
    const bool bKnown = !options.m_bPassive ||
                        SelectByKeys(theApp.m_mapComponents, options.m_components, remove, *this, unknownKey);
    // Also offers Next only with a selection: without one a passive run has nothing to do.
    const bool bSelected = UpdateSelectionCounts();
    if (!bKnown)
        EndPassiveRun(kExitBadOption, "No component " + unknownKey + " in the components list");
    else if (options.m_bPassive && (!bSelected || (options.m_bUninstall && remove.empty())))
        EndPassiveRun(kExitDone, "Nothing to install or remove");
    const CListFill fill(m_list);
    m_list.DeleteAllItems();
    // The catalogue yields its newest key first; each row goes in front of
    // the one before, so the list shows the oldest first.
    for (const auto& entry : theApp.m_mapComponents) {
        const CComponent* pComp = entry.second;
        m_list.InsertItem(0, pComp->m_strName, reinterpret_cast<LPARAM>(pComp));
        m_list.SetStateImage(0, pComp->m_nState + 1);
        m_list.SetItemText(0, 1, StateText(*pComp));
        m_list.SetItemText(0, 2, VersionToString(pComp->m_nVersion));
        m_list.SetItemText(0, 3, ActionWord(pComp->m_nAction));
    }
}

void CComponentsPage::ShowSelection(const CComponent& comp) {
    const int row = m_list.FindItemByData(reinterpret_cast<LPARAM>(&comp));
    if (row < 0) return;
    m_list.SetStateImage(row, comp.m_nState + 1);
    m_list.SetItemText(row, 3, ActionWord(comp.m_nAction));
}

bool CComponentsPage::ConfirmDependentsRemoved(const CComponent& comp) {
    CDependentsDlg dlg(m_hWnd);
    dlg.m_pComponent = &comp;
    return dlg.DoModal() == IDYES;
}

void CComponentsPage::ToggleComponent(int row) {
    if (auto* pComp = reinterpret_cast<CComponent*>(m_list.GetItemData(row)))
        ClickComponent(*pComp, theApp.m_mapComponents, *this);
    UpdateSelectionCounts();
}

bool CComponentsPage::UpdateSelectionCounts() {
    const CSelectionCounts counts = CountSelection(theApp.m_mapComponents);
    theApp.m_nToInstall = counts.m_nToInstall;
    theApp.m_nToRemove = counts.m_nToRemove;
    PostWizardButtons(counts.m_bAnySelected ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    return counts.m_bAnySelected;
}
