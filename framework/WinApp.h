// The application object: one per process; the entry point runs it.
#pragma once
#include <windows.h>
#include <string>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The exit code of a run that ended by an exception.
    static constexpr int kExitCodeFault = 255;

    // Returns FALSE to end the process without a message loop of its own.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return m_nExitCode; }
    int Run();

    // Dialog controls get the three-dimensional look on systems whose
    // controls lack it.
    void Enable3dControls();

    // Every message box of the program passes here before it shows: a run
    // without a person answers it here (true, with the answer) and none shows.
    virtual bool AnswerMessage(const std::string& /*text*/, UINT /*type*/, int& /*answer*/) { return false; }

    HINSTANCE m_hInstance = nullptr;
    HWND m_hMainWnd = nullptr;
    int m_nExitCode = 0;
    // The arguments the program was started with, without its own name.
    std::string m_strCommandLine;
};

CWinApp* AfxGetApp();

// The application's message box: the program's name as the caption and the
// exclamation-mark icon.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);

// The caption every message box of the program shows: the file name of the
// running program without its extension.
std::string AppTitle();
// The running program's file; empty when its path does not fit MAX_PATH.
std::string ProgramPath();
