// The components of the catalogue, to install, upgrade, remove or leave.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CComponent;

// Brings the catalogue's updated list from the setup web site into the
// download folder, once per run, while the wait dialog shows. When that
// fails the user is asked whether to go on with the local list; No ends the
// wizard. True when the list was fetched by this call.
bool FetchUpdatedComponentList(CWizardPage& page);

class CComponentsPage : public CWizardPage {
public:
    CComponentsPage();

    // One click on the row's box, with the dependency rules.
    void ToggleComponent(int row);
    void SelectPrerequisites(CComponent* pComp);
    void MarkDependentsRemoved(CComponent* pComp);
    // Recounts the selection and offers Next only with one; true when some
    // component has an action.
    bool UpdateSelectionCounts();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnNotify(NMHDR* pHdr, LRESULT& result) override;
    void OnPageStart() override { RefreshComponentList(); }

private:
    void RefreshComponentList();
    // The row of pComp shows its box and action word.
    void ShowSelection(const CComponent* pComp) const;

    CListViewCtrl m_list;
    CImageList m_imageList;
};
