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
#include <vector>

class CPackageFile;
class CPackageInfo;

// One package file as the download worker fetches it: its own copy of what
// it needs, and what came of it. The records are only named, for the page
// to apply the outcome to when the pass ends; the worker never touches them.
struct CFileFetch {
    CPackageInfo* m_pPackage = nullptr;
    CPackageFile* m_pFile = nullptr;
    std::string m_strComponent, m_strSource, m_strUrl, m_strLocalPath;
    int64_t m_nPackedSize = 0;
    int32_t m_tDate = 0;
    std::string m_strSha256;
    // Set by the worker once the file is here.
    bool m_bFetched = false;
    bool m_bCompressed = false;
    int64_t m_nPackageVersion = 0;
    int32_t m_tPackageTime = 0;
};

// What the download worker reports and the page shows on its timer. The
// worker writes nothing else, so a worker given up on a stalled server can
// outlive the page and the records.
struct CDownloadStatus {
    std::atomic<int64_t> m_nBytesReceived{0};
    // Of those, the bytes earlier transfers left, which took no time now.
    std::atomic<int64_t> m_nBytesResumed{0};
    // The part of m_nBytesResumed that the attempt under way went on from.
    int64_t m_nAttemptResumed = 0;
    // When the worker started; 0 while no estimate can be shown.
    std::atomic<time_t> m_tStart{0};
    // Between attempts at a file no estimate holds.
    std::atomic<bool> m_bRetryPause{false};
    // Written by the worker, read by the page only once the worker has ended.
    std::vector<CFileFetch> m_fetches;
    // Signalled by Cancel: it ends the pause between attempts at once.
    HANDLE m_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    // The texts of the component and file lines.
    void SetTexts(const std::string& component, const std::string& file);
    void GetTexts(std::string& component, std::string& file);

    ~CDownloadStatus() { ::CloseHandle(m_hStop); }

private:
    std::mutex m_lock;
    std::string m_strComponent, m_strFile;
};

class CDownloadingPage : public CWizardPage {
public:
    CDownloadingPage();

    // The worker's pass over the status record's files into folder; tells
    // hPage by WM_DOWNLOAD_SHOW. Returns 0.
    static int DownloadWorker(CDownloadStatus& status, const std::string& folder, HWND hPage);
    // Told each chunk's size, and the bytes a transfer goes on from;
    // pContext is the CDownloadStatus.
    static void OnDownloadProgress(void* pContext, int64_t nBytes, bool bAlreadyHere);

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
    static bool FetchFile(CDownloadStatus& status, HWND hPage, CFileFetch& fetch);
    void UpdateProgressTexts();
    // The worker has ended: the page shows it at once, and goes on only
    // when no Cancel question is open.
    void OnPassEnded();
    void ApplyOutcomes();
    void EndPass();

    bool m_bAskingCancel = false;
    bool m_bPassEnded = false;
    bool m_bEndPending = false;

    CWorkerThread m_worker;
    std::shared_ptr<CDownloadStatus> m_pStatus;
};
