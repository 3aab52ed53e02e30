// The last page: the outcome, and the reboot when the installation needs one.
#pragma once
#include "app/WizardPage.h"

// Set by tests inside their own process to make the privilege step of
// "Reboot now" fail, so that no test can restart the machine it runs on.
extern bool g_bRefuseShutdownPrivilege;

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
