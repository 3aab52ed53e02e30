// The packages of the selection with their sizes, and the disk space.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CPreparingPage : public CWizardPage {
public:
    CPreparingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;

    CListViewCtrl m_listDrives;
    CListViewCtrl m_listPackages;
    CImageList m_imageList;
};
