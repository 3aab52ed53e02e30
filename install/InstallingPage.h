// Copies the files of the ready packages through the platform's setup file
// queue, with progress, and moves on to the Finish page by itself.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CInstallQueueCallback;

class CInstallingPage : public CWizardPage {
public:
    CInstallingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnPageStart() override;

    CProgressCtrl m_progressCopy;
    CProgressCtrl m_progressUnpack;

private:
    // Set while the queue is committed, for its progress messages.
    CInstallQueueCallback* m_pQueueCallback = nullptr;
};
