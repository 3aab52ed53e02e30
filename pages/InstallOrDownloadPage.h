// Install on this computer or only download, and the download folder.
#pragma once
#include "app/WizardPage.h"

#include <string>

class CInstallOrDownloadPage : public CWizardPage {
public:
    CInstallOrDownloadPage();

    int m_nMode = 0;
    std::string m_strFolder;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnCommand(WORD id, WORD code, HWND hCtl) override;

private:
    void StoreChoices();
};
