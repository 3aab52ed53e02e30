#include <windows.h>
#include <commctrl.h>

#include "framework/SystemLibrary.h"
#include "framework/WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    // Before anything binds a late-bound import.
    RestrictDllSearchToSystem();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->m_strCommandLine = lpCmdLine ? lpCmdLine : "";
    return app->Run();
}
