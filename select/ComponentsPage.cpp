#include "select/ComponentsPage.h"

#include "app/NumberText.h"
#include "app/OldProducts.h"
#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "download/IniFileFetch.h"
#include "res/resource.h"
#include "select/ComponentStates.h"
#include "select/DependentsDlg.h"

#include <set>

namespace {

const char kComponentList[] = "zep.sif";

bool IsInstalled(const CComponent& comp) { return comp.m_nInstalledVersion != 0; }

}  // namespace

bool FetchUpdatedComponentList(CWizardPage& page) {
    if (theApp.m_bComponentListUpdated) return false;
    if (FetchSetupIniFile(page.GetParent(), kComponentList, "Product", "components list...")) {
        theApp.m_bComponentListUpdated = true;
        return true;
    }
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
    m_imageList.LoadBitmapImages(IDB_STATE_IMAGES, 15, RGB(255, 0, 255));
    m_list.SetStateImageList(m_imageList);
    const int width = m_list.GetClientWidth();
    m_list.InsertColumns({{"Component", LVCFMT_LEFT, (width - 26) / 12 * 5},
                          {"Current state", LVCFMT_LEFT, (width - 60) / 12 * 4},
                          {"Ver.avail", LVCFMT_LEFT, 53},
                          {"Action", LVCFMT_LEFT, (width - 26) / 12 * 2}});
    DetectOldProducts();
    return TRUE;
}

BOOL CComponentsPage::OnSetActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CComponentsPage::OnWizardNext() { return NextPageAfterComponents(theApp.m_nToRemove); }

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
    theApp.LoadComponents((theApp.m_strDownloadDir + kComponentList).c_str());
    theApp.ComputeComponentStates();
    // Also offers Next only with a selection.
    UpdateSelectionCounts();
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

void CComponentsPage::ShowSelection(const CComponent* pComp) const {
    const int row = m_list.FindItemByData(reinterpret_cast<LPARAM>(pComp));
    if (row < 0) return;
    m_list.SetStateImage(row, pComp->m_nState + 1);
    m_list.SetItemText(row, 3, ActionWord(pComp->m_nAction));
}

void CComponentsPage::ToggleComponent(int row) {
    auto* pComp = reinterpret_cast<CComponent*>(m_list.GetItemData(row));
    if (!pComp) return;
    const int s0 = pComp->m_nState, a0 = pComp->m_nAction;
    ApplyClick(*pComp);
    const bool leaves = pComp->m_nAction == ACTION_REMOVE || (pComp->m_nAction == ACTION_NONE && s0 == STATE_INSTALL);
    if (leaves && !pComp->m_mapDependents.empty()) {
        m_list.SetStateImage(row, pComp->m_nState + 1);
        bool ask = false;
        for (const CComponent* pDependent : pComp->m_mapDependents)
            ask = ask || pDependent->m_nAction == ACTION_INSTALL ||
                  (IsInstalled(*pDependent) && pDependent->m_nAction != ACTION_REMOVE);
        if (ask) {
            CDependentsDlg dlg(m_hWnd);
            dlg.m_pComponent = pComp;
            if (dlg.DoModal() == IDYES) {
                MarkDependentsRemoved(pComp);
            } else {
                pComp->m_nState = s0;
                pComp->m_nAction = a0;
            }
        }
    } else if ((pComp->m_nAction == ACTION_INSTALL || (IsInstalled(*pComp) && pComp->m_nAction != ACTION_REMOVE)) &&
               !pComp->m_strDependOn.empty()) {
        SelectPrerequisites(pComp);
    }
    ShowSelection(pComp);
    UpdateSelectionCounts();
}

// A chain that leads back into itself ends where it was before.
void CComponentsPage::SelectPrerequisites(CComponent* pComp) {
    std::set<const CComponent*> visited{pComp};
    while (!pComp->m_strDependOn.empty()) {
        CComponent** ppPrerequisite = theApp.m_mapComponents.Lookup(pComp->m_strDependOn);
        if (!ppPrerequisite || !visited.insert(*ppPrerequisite).second) return;
        pComp = *ppPrerequisite;
        if (!IsInstalled(*pComp)) {
            pComp->m_nAction = ACTION_INSTALL;
            pComp->m_nState = STATE_INSTALL;
        } else if (pComp->m_nAction == ACTION_REMOVE) {
            pComp->m_nAction = ACTION_NONE;
            pComp->m_nState = STATE_LEAVE;
        }
        ShowSelection(pComp);
    }
}

void CComponentsPage::MarkDependentsRemoved(CComponent* pComp) {
    WalkDependents(*pComp, [this](CComponent& dependent) {
        if (IsInstalled(dependent)) {
            dependent.m_nState = STATE_REMOVE;
            dependent.m_nAction = ACTION_REMOVE;
        } else if (dependent.m_nAction == ACTION_INSTALL) {
            dependent.m_nState = STATE_LEAVE;
            dependent.m_nAction = ACTION_NONE;
        }
        ShowSelection(&dependent);
    });
}

bool CComponentsPage::UpdateSelectionCounts() {
    theApp.m_nToRemove = 0;
    theApp.m_nToInstall = 0;
    bool anySelected = false;
    for (const auto& entry : theApp.m_mapComponents) {
        const CComponent* pComp = entry.second;
        anySelected = anySelected || pComp->m_nAction != ACTION_NONE;
        if (pComp->m_nState == STATE_INSTALL) ++theApp.m_nToInstall;
        if (pComp->m_nState == STATE_REMOVE) ++theApp.m_nToRemove;
    }
    PostWizardButtons(anySelected ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
    return anySelected;
}
