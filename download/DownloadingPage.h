// Fetches the marked package files from the chosen site, with progress.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "framework/WorkerThread.h"

#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

class CPackageFile;
class CPackageInfo;

// What the download worker reports and the page shows on its timer. The
// worker writes nothing else the page owns, so a worker given up on a
// stalled server can outlive the page.
struct CDownloadStatus {
    std::atomic<int64_t> m_nBytesReceived{0};
    // When the worker started; 0 while no estimate can be shown.
    std::atomic<time_t> m_tStart{0};
    // Signalled by Cancel: it ends the pause between attempts at once.
    HANDLE m_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    // The texts of the component and file lines, and the file being written.
    void SetTexts(const std::string& component, const std::string& file, const std::string& localPath);
    void GetTexts(std::string& component, std::string& file, std::string& localPath);

    ~CDownloadStatus() { ::CloseHandle(m_hStop); }

private:
    std::mutex m_lock;
    std::string m_strComponent, m_strFile, m_strLocalPath;
};

class CDownloadingPage : public CWizardPage {
public:
    CDownloadingPage();

    // The worker's pass over every package file to fetch; tells hPage by
    // WM_DOWNLOAD_SHOW and WM_DOWNLOAD_ENDED. Returns 0.
    static int DownloadWorker(std::shared_ptr<CDownloadStatus> pStatus, HWND hPage);
    // Told each chunk's size, and 0 after a failed attempt; pContext is the
    // CDownloadStatus.
    static void OnDownloadProgress(void* pContext, uint32_t nBytes);

protected:
    BOOL OnInitDialog() override;
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
    // One attempt after another at one file until it arrives, a failure
    // that trying again cannot cure, or a stop. True when it arrived.
    static bool FetchFile(CDownloadStatus& status, HWND hPage, const std::string& component, CPackageInfo& package,
                          CPackageFile& file);
    void UpdateProgressTexts();
    void EndPass();

    CWorkerThread m_worker;
    std::shared_ptr<CDownloadStatus> m_pStatus;
};
