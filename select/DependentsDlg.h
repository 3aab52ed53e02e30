// Asks before a component is removed together with everything that depends on it.
#pragma once
#include "app/Component.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"

// Ends with IDYES, IDNO, or IDCANCEL on Escape, which callers take as No.
class CDependentsDlg : public CDialog {
public:
    explicit CDependentsDlg(HWND hParent = nullptr);

    // The component to remove; set before DoModal.
    const CComponent* m_pComponent = nullptr;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, HWND hCtl) override;

private:
    CListViewCtrl m_list;
};
