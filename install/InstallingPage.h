// Copies the files of the ready packages through the platform's setup file
// queue, with progress, and moves on to the Finish page by itself.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "install/InstallEngine.h"

// A view of the install: the bars and texts show its steps and the queue's.
class CInstallingPage : public CWizardPage, private CInstallSteps {
public:
    CInstallingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnPageStart() override;

    CPixelProgress m_progressCopy;
    CPixelProgress m_progressUnpack;

private:
    void OnQueueing(const CPackageInfo& package) override;
    void OnUnpacking(const CPackageFile& file) override;
    void OnUnpacked() override;
    void OnQueued(const CPackageInfo& package) override;
    void OnCommitting() override;
    void OnCopying(const char* target) override;
    void OnFilesDone(int nFiles) override;
    void OnCommitted() override;
    bool IsFileTextDue();

    // Set while the queue is committed, for its progress messages.
    CInstallQueueCallback* m_pQueueCallback = nullptr;
    int m_nTotalFiles = 0;
    int m_nUnpacksDone = 0;
    static constexpr ULONGLONG kFileTextIntervalMs = 40;
    ULONGLONG m_tFileTextShown = 0;
};
