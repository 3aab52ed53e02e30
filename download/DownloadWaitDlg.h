// The modal dialog a page shows while a worker thread fetches a file; the
// worker ends it with IDOK (fetched) or IDCANCEL (failed).
#pragma once
#include "framework/Dialog.h"
#include "download/IniFileFetch.h"
#include "framework/WorkerThread.h"

#include <atomic>
#include <functional>
#include <string>

class CDownloadWaitDlg : public CDialog {
public:
    explicit CDownloadWaitDlg(HWND hParent = nullptr);

    // One modal run. Escape and the close box end it with IDCANCEL while the
    // worker may still be fetching; the caller treats that as a failed fetch.
    // Enter does not end it.
    INT_PTR DoModal();

    // One fetch as the pages run it: shows "Downloading " + subject while
    // fetch runs on worker, and returns the modal result. The run is owned by
    // hOwner, the page's wizard, and disables it: no button of the wizard may
    // leave the page or start another run meanwhile. fetch returns the
    // number of files it could not fetch; the run ends as fetched (IDOK) when
    // that is 0, else as failed (IDCANCEL). The page may wait for worker and
    // read that number once the run has ended. A run the user ends early
    // gives the worker up (see CWorkerThread::Claim); cleanup then removes
    // what it wrote.
    INT_PTR RunFetch(HWND hOwner, CWorkerThread& worker, const std::string& subject, std::function<int()> fetch,
                     std::function<void()> cleanup = {});

    // The page's side, before it starts the worker: the number of the run the
    // next DoModal will be. The worker hands it to EndRun.
    unsigned NextRun() const { return m_nRunsBegun + 1; }
    // The worker's side: waits, yielding the processor, until that run is in
    // its modal loop, then ends it with IDOK or IDCANCEL. A run the user has
    // already closed is left alone, and so is every later run.
    void EndRun(unsigned run, bool bFetched);

    HWND m_hGlobeCtl = nullptr;
    std::string m_strText;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDestroy() override;

private:
    HICON m_hGlobe = nullptr;
    // Written by the page's thread, read by workers.
    std::atomic<unsigned> m_nRunsBegun{0};
    std::atomic<unsigned> m_nRunsEnded{0};
    std::atomic<HWND> m_hRunWnd{nullptr};
    // The last run its worker reported as fetched.
    std::atomic<unsigned> m_nRunFetched{0};
};

// The pages' fetch of name into run's download folder: on a worker, while
// wait, owned by the page's wizard hOwner, shows "Downloading " + subject.
// Only a fetch that ended by itself, with a whole file holding the heading
// of firstSection that passes check, replaces the copy in the download
// folder; a fetch the user gave up on finishes alone and leaves nothing.
// True when the copy was replaced; false at once, without the dialog, when
// there is no internet session.
bool FetchSetupIniFile(HWND hOwner, CDownloadWaitDlg& wait, CSetupRun& run, const std::string& name,
                       const std::string& firstSection, const std::string& subject, const CFetchCheck& check = {});
