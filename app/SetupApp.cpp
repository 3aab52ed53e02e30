#include "app/SetupApp.h"

#include "app/FolderSecurity.h"
#include "app/PageFlow.h"
#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "app/QuietRun.h"
#include "app/Registry.h"
#include "app/SetupWizard.h"
#include "app/UninstallEntry.h"
#include "app/WizardPages.h"
#include "framework/SystemLibrary.h"
#include "framework/WorkerThread.h"
#include "framework/Wnd.h"
#include "res/version.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

CSetupApp theApp;

namespace {

// How long a server may keep a transfer waiting for an answer or for more
// bytes; a setup information file may give a slow network more.
constexpr int kDefaultTransferTimeoutSec = 30;
constexpr int kMaxTransferTimeoutSec = 3600;

// How long the run's end waits for workers still running (a fetch given up,
// a download cancelled): enough for one between chunks to see its stop and
// clean up after itself, while one that a stalled server blocks keeps the
// program only briefly after its wizard has closed.
constexpr DWORD kWorkersEndWaitMs = 5000;

}  // namespace

// The list of installed programs starts the kept copy of the wizard in a
// folder of its own choosing; the files the wizard reads lie beside it.
static void UseProgramFolderWithoutSetupInfoHere() {
    if (::GetFileAttributesA(kSetupInfoFile) != INVALID_FILE_ATTRIBUTES) return;
    const std::string program = ProgramPath();
    const size_t slash = program.find_last_of('\\');
    if (slash != std::string::npos) ::SetCurrentDirectoryA(program.substr(0, slash).c_str());
}

int g_nComCtlMajor = 0;
int g_nComCtlMinor = 0;

CSetupApp::~CSetupApp() = default;

// The log is opened first, so that even a run refused for its options tells
// why; a log asked for that cannot be had ends the run before anything is done.
BOOL CSetupApp::InitInstance() {
    const bool bOptionsRead = ParseCommandLine(m_strCommandLine, m_options);
    // The copy it hands the removal to logs, claims the computer and answers.
    if (bOptionsRead && m_options.m_bUninstall && HandOverUninstall(m_strCommandLine, m_nExitCode)) return FALSE;
    m_bHandedOver = m_handOver.Take();
    if (!OpenLog()) {
        AfxMessageBox("The setup log " + m_options.m_strLogPath + " cannot be created.");
        m_nExitCode = kExitLogFailed;
        return FALSE;
    }
    if (!bOptionsRead) {
        AfxMessageBox("Unknown option or value: " + m_options.m_strBadArgument + "\n\n" + kUsageText);
        m_nExitCode = kExitBadOption;
        return FALSE;
    }
    if (m_options.m_bUsage) {
        AfxMessageBox(kUsageText);
        return FALSE;
    }
    if (!m_singleRun.Claim()) {
        AfxMessageBox("Another ZEP Setup is running. Start this one again once it has ended.");
        m_nExitCode = kExitAlreadyRunning;
        return FALSE;
    }
    ReadCommonControlsVersion();
    Enable3dControls();
    ReadPlatformFamily();
    ::CoInitialize(nullptr);
    UseProgramFolderWithoutSetupInfoHere();

    // The internet library is bound late: a system without it runs on with local files.
    if (LoadSystemLibrary("wininet.dll"))
        m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hInternet) AfxMessageBox("Internet is not accessible. Setup will install only local packages.");

    if (!LoadSetupInfo()) {
        AfxMessageBox("Failed to load setup information file");
        m_nExitCode = kExitFailed;
        return FALSE;
    }
    const std::string version = ReadProfileValue(kSetupInfoFile, "Product", "Version");
    m_log.Write("Product: " + m_strProductName + (version.empty() ? "" : " " + version));
    if (!m_options.m_strInstallDir.empty()) m_strInstallDir = m_options.m_strInstallDir;
    // Decoded copies wait for the copy into place in a folder of the run's own.
    m_strWorkDir = MakeProtectedFolderIn(m_strTempDir, "zepsetup-");
    if (m_strWorkDir.empty()) {
        AfxMessageBox("Setup could not make its work folder in " + m_strTempDir);
        m_nExitCode = kExitFailed;
        return FALSE;
    }
    m_strTempDir = m_strWorkDir;
    int timeoutSec =
        int(::GetPrivateProfileIntA("Product", "TransferTimeout", kDefaultTransferTimeoutSec, kSetupInfoFile));
    if (timeoutSec <= 0 || timeoutSec > kMaxTransferTimeoutSec) timeoutSec = kDefaultTransferTimeoutSec;
    SetTransferTimeouts(DWORD(timeoutSec) * 1000);
    m_nConnections = m_options.m_nConnections
                         ? m_options.m_nConnections
                         : int(::GetPrivateProfileIntA("Product", "Connections", kDefaultConnections, kSetupInfoFile));
    if (m_nConnections < 1 || m_nConnections > kMaxConnections) m_nConnections = kDefaultConnections;
    // The platform's own limit per server would queue the transfers the pass runs at once.
    DWORD connections = DWORD(m_nConnections);
    for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER})
        ::InternetSetOptionA(nullptr, option, &connections, sizeof connections);

    const bool bAskedToUninstall = m_options.m_bUninstall && !m_options.IsUnattended();
    const std::string question = "Remove " + m_strProductName + " and all of its components from this computer?";
    if (bAskedToUninstall && AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        m_nExitCode = kExitCancelled;
        return FALSE;
    }
    // Removing everything needs no page: a person has agreed, or nobody is there.
    if (m_options.m_bQuiet || bAskedToUninstall) {
        m_nExitCode = RunQuietSetup(*this);
    } else {
        RunWizard();
        m_nExitCode = m_nPassiveEndCode >= 0 ? m_nPassiveEndCode
                      : m_bRestartStarted    ? kExitRestartStarted
                                             : RunExitCode(m_bWizardFinished, WorkNotDone(), m_bRebootRequired);
    }
    if (m_bInstalledComponentsChanged) UpdateUninstallEntry(*this);
    if (bAskedToUninstall)
        AfxMessageBox(m_nExitCode == kExitDone ? m_strProductName + " was removed from this computer."
                                               : "Setup could not remove everything. The setup log tells why: " +
                                                     m_log.Path());
    return FALSE;
}

// The sheet and its pages live only while the wizard runs; whatever ends it,
// the run shuts down the same way.
void CSetupApp::RunWizard() {
    // Opened at the Components page, the wizard installs as the install
    // mode of the Install or download page would; removing everything needs
    // no license.
    const bool bAtComponents = m_options.m_bModify || m_options.m_bUninstall;
    if (bAtComponents) m_strDownloadDir = WithTrailingBackslash(RunDownloadFolder());
    CSetupWizard wizard(bAtComponents ? CWizardPages::kComponentsIndex : 0);
    CWizardPages pages;
    pages.AddTo(wizard);
    wizard.SetWizardMode();
    if (wizard.DoModal() < 0) AfxMessageBox("Failed to create setup wizard window");
}

bool CSetupApp::OpenLog() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    if (!m_options.m_strLogPath.empty() && !m_log.Open(m_options.m_strLogPath)) return false;
    if (m_options.m_strLogPath.empty()) m_log.OpenNew(EnvironmentTempFolder(), now);
    std::string arguments;
    for (const std::string& argument : SplitArguments(m_strCommandLine)) arguments += " " + WithoutUserInfo(argument);
    if (arguments.empty()) arguments = " no options";
    m_log.Write("ZEP Setup " ZEP_VERSION_TEXT " started:" + arguments);
    return true;
}

bool CSetupApp::AnswerMessage(const std::string& text, UINT type, int& answer) {
    m_log.Write("Message: " + text);
    if (!m_options.IsUnattended()) return false;
    const UINT buttons = type & MB_TYPEMASK;
    answer = buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
    m_log.Write(answer == IDYES ? "Answered: Yes" : "Answered: OK");
    return true;
}

// The session stays open while a worker could still end by itself, so that
// none meets it closed halfway; one still running after the wait ends with
// the program.
int CSetupApp::ExitInstance() {
    m_log.Write("Exit code " + std::to_string(m_nExitCode));
    m_handOver.Finish(*this, m_nExitCode);
    // A download still under way stops at once where the platform lets it.
    AbortTransfer();
    CWorkerThread::WaitForAll(kWorkersEndWaitMs);
    m_unpackAhead.Stop();
    // What the run left in its work folder goes with it.
    if (!m_strWorkDir.empty()) {
        EmptyFolder(m_strWorkDir);
        ::RemoveDirectoryA(m_strWorkDir.c_str());
    }
    if (m_hInternet) {
        ::InternetCloseHandle(m_hInternet);
        m_hInternet = nullptr;
    }
    ::CoUninitialize();
    return CWinApp::ExitInstance();
}

void CSetupApp::ReadCommonControlsVersion() {
    HMODULE comctl = ::LoadLibraryA("comctl32.dll");
    if (!comctl) return;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(::GetProcAddress(comctl, "DllGetVersion"));
    if (!getVersion) {
        g_nComCtlMajor = 4;
        g_nComCtlMinor = 0;
    } else {
        DLLVERSIONINFO info{};
        info.cbSize = 20;
        if (SUCCEEDED(getVersion(&info))) {
            g_nComCtlMajor = int(info.dwMajorVersion);
            g_nComCtlMinor = int(info.dwMinorVersion);
        }
    }
    ::FreeLibrary(comctl);
}
