// Removes the components marked for removal as soon as it is shown.
#pragma once
#include "app/WizardPage.h"

class CRemovingPage : public CWizardPage {
public:
    CRemovingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    void OnPageStart() override;

private:
    void RemoveSelectedComponents();
    void ShowProgressLines(int nCmdShow) const;
};
