// The license text from "license.txt"; Next only once it is accepted.
#pragma once
#include "app/WizardPage.h"

#include <string>

class CLicensePage : public CWizardPage {
public:
    CLicensePage();

    HWND m_edit = nullptr;
    int m_nAccept = -1;
    std::string m_strLicense;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnCommand(WORD id, WORD code, HWND hCtl) override;

private:
    void ReadLicenseFile();
};
