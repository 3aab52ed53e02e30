// The last page: the outcome, and the reboot when the installation needs one.
#pragma once
#include "app/WizardPage.h"

class CFinishPage : public CWizardPage {
public:
    CFinishPage();

    int m_nReboot = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;

private:
    bool RequestReboot() const;
};
