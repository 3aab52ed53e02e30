// Install on this computer or only download, and the download folder.
#pragma once
#include "app/WizardPage.h"

#include <string>

class CInstallOrDownloadPage : public CWizardPage {
public:
    CInstallOrDownloadPage();
    // The folder confirmed last time, else the setup file's Source, else the
    // folder the program runs in.
    static std::string InitialFolder();

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
