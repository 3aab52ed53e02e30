// Fetches the marked package files from the chosen site, with progress.
#pragma once
#include "app/WizardPage.h"

class CDownloadingPage : public CWizardPage {
public:
    CDownloadingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void StartPass();
    void EndPass();
};
