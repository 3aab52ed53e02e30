// Fetches the marked package files from the chosen site, with progress.
#pragma once
#include "app/WizardPage.h"
#include "download/DownloadPass.h"
#include "framework/Controls.h"
#include "framework/WorkerThread.h"

#include <memory>

class CDownloadingPage : public CWizardPage {
public:
    CDownloadingPage();

protected:
    BOOL OnInitDialog() override;
    void ShowPictures() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    void OnCancel() override;
    BOOL OnTimer(UINT_PTR id) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnPageStart() override;

    CProgressCtrl m_progress;
    CAnimateCtrl m_animate;
    bool m_bCancelNoConfirm = false;
    int64_t m_nBytesTotal = 0;

private:
    void UpdateProgressTexts();
    // The worker has ended: the page shows it at once, and goes on only
    // when no Cancel question is open.
    void OnPassEnded();
    void EndPass();

    bool m_bAskingCancel = false;
    bool m_bPassEnded = false;
    bool m_bEndPending = false;

    CWorkerThread m_worker;
    std::shared_ptr<CDownloadStatus> m_pStatus;
};
