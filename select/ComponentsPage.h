// The components of the catalogue, to install, upgrade, remove or leave.
#pragma once
#include "app/WizardPage.h"

#include <commctrl.h>

class CComponentsPage : public CWizardPage {
public:
    CComponentsPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    void OnDestroy() override;

    HWND m_list = nullptr;
    HIMAGELIST m_imageList = nullptr;
};
