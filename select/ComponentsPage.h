// The components of the catalogue, to install, upgrade, remove or leave.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "select/ComponentStates.h"

// Brings the catalogue's updated list from the setup web site into the
// download folder, once per run, while the wait dialog shows. When that
// fails the user is asked whether to go on with the local list; No ends the
// wizard. True when the list was fetched by this call.
bool FetchUpdatedComponentList(CWizardPage& page);

// A view of the selection rules: the list shows what they decide, and the
// dependents dialog asks what they ask.
class CComponentsPage : public CWizardPage, private CSelectionView {
public:
    CComponentsPage();

    // One click on the row's box, with the dependency rules.
    void ToggleComponent(int row);
    // Recounts the selection and offers Next only with one; true when some
    // component has an action.
    bool UpdateSelectionCounts();

protected:
    BOOL OnInitDialog() override;
    void ShowPictures() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnNotify(NMHDR* pHdr, LRESULT& result) override;
    void OnPageStart() override { RefreshComponentList(); }

private:
    void RefreshComponentList();
    // The row of comp shows its box and action word.
    void ShowSelection(const CComponent& comp) override;
    bool ConfirmDependentsRemoved(const CComponent& comp) override;

    CListViewCtrl m_list;
    CImageList m_imageList;
};
