// The components of the catalogue, to install, upgrade, remove or leave.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CComponentsPage : public CWizardPage {
public:
    CComponentsPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

    CListViewCtrl m_list;
    CImageList m_imageList;
};
