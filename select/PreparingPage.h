// The packages of the selection with their sizes, and the disk space.
#pragma once
#include "app/WizardPage.h"

#include <commctrl.h>

class CPreparingPage : public CWizardPage {
public:
    CPreparingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    void OnDestroy() override;

    HWND m_listDrives = nullptr;
    HWND m_listPackages = nullptr;
    HIMAGELIST m_imageList = nullptr;
};
