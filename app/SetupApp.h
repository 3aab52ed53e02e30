// The application object of one setup run: its record (app/SetupRun.h),
// which the pages share, and the windows that show it.
#pragma once
#include "app/SetupRun.h"
#include "app/SingleRun.h"
#include "app/UninstallEntry.h"
#include "download/DownloadWaitDlg.h"
#include "framework/WinApp.h"

// The version of the system's common-controls library, read at start.
extern int g_nComCtlMajor;
extern int g_nComCtlMinor;
// Before 4.71 a list reports no click position, so a row's box is toggled
// from the selection change the click makes instead.
inline bool IsOldCommonControls() { return g_nComCtlMajor < 4 || (g_nComCtlMajor == 4 && g_nComCtlMinor < 71); }

class CSetupApp : public CWinApp, public CSetupRun {
public:
    CSetupApp() = default;
    ~CSetupApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    // Every message goes to the setup log; a run without a person answers
    // it as documented for administrators: Yes and OK.
    bool AnswerMessage(const std::string& text, UINT type, int& answer) override;

    // The wait dialog of the fetches the pages make.
    CDownloadWaitDlg m_dlgDownloadWait;

private:
    // False when the log the command line names cannot be created.
    bool OpenLog();
    void RunWizard();
    void ReadCommonControlsVersion();

    CSingleRun m_singleRun;
    CHandOver m_handOver;
};

extern CSetupApp theApp;
