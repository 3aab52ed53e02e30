#include "framework/WinApp.h"

#include "framework/SystemLibrary.h"

static CWinApp* s_pApp = nullptr;

CWinApp::CWinApp() { s_pApp = this; }

CWinApp::~CWinApp() {
    if (s_pApp == this) s_pApp = nullptr;
}

CWinApp* AfxGetApp() { return s_pApp; }

// Whatever InitInstance does, even throw, ExitInstance runs: it closes what
// the run opened (the internet session, COM).
int CWinApp::Run() {
    m_hInstance = ::GetModuleHandleA(nullptr);
    BOOL bMessageLoop = FALSE;
    try {
        bMessageLoop = InitInstance();
    } catch (...) {
        m_nExitCode = kExitCodeFault;
    }
    if (bMessageLoop) {
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    try {
        return ExitInstance();
    } catch (...) {
        return kExitCodeFault;
    }
}

void CWinApp::Enable3dControls() {
    // Only systems without 3-D dialog controls carry this library; searched
    // for by name it would be found beside the program, wherever that is.
    HMODULE ctl3d = LoadSystemLibrary("ctl3d32.dll");
    if (!ctl3d) return;
    using RegisterFn = BOOL(WINAPI*)(HINSTANCE);
    auto reg = reinterpret_cast<RegisterFn>(::GetProcAddress(ctl3d, "Ctl3dRegister"));
    auto autoSubclass = reinterpret_cast<RegisterFn>(::GetProcAddress(ctl3d, "Ctl3dAutoSubclass"));
    if (reg && autoSubclass && reg(m_hInstance)) autoSubclass(m_hInstance);
}

int AfxMessageBox(const std::string& text, UINT type) {
    int answer = 0;
    if (s_pApp && s_pApp->AnswerMessage(text, type, answer)) return answer;
    HWND owner = s_pApp ? s_pApp->m_hMainWnd : nullptr;
    if (owner && !::IsWindow(owner)) owner = nullptr;
    return ::MessageBoxA(owner, text.c_str(), AppTitle().c_str(), type | MB_ICONEXCLAMATION);
}

std::string ProgramPath() {
    char path[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : "";
}

std::string AppTitle() {
    std::string name = ProgramPath();
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}
