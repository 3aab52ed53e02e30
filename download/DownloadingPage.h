// Fetches the marked package files from the chosen site, with progress.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CDownloadingPage : public CWizardPage {
public:
    CDownloadingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnPageStart() override;

    CProgressCtrl m_progress;
    CAnimateCtrl m_animate;

private:
    void EndPass();
};
