// The options of an unattended run, as administrators' deployment tools
// pass them, and the exit codes those tools read.
#pragma once
#include <string>
#include <vector>

// The exit codes of Windows Installer, which deployment tools know.
constexpr int kExitDone = 0;
constexpr int kExitBadOption = 87;
constexpr int kExitCancelled = 1602;
constexpr int kExitFailed = 1603;
constexpr int kExitAlreadyRunning = 1618;
constexpr int kExitLogFailed = 1622;
constexpr int kExitRestartStarted = 1641;
constexpr int kExitRestartNeeded = 3010;

// The most package files a run downloads at once.
constexpr int kMaxConnections = 16;

// The exit code of a run that was finished (not cancelled or ended early),
// with what it set out to do and did not, and whether a restart is needed.
int RunExitCode(bool bFinished, int nNotDone, bool bRebootRequired);

struct CSetupOptions {
    bool m_bQuiet = false;
    bool m_bPassive = false;
    bool m_bAcceptLicense = false;
    bool m_bNoRestart = false;
    bool m_bUsage = false;
    // The wizard opens at the Components page, as the product's entry in the
    // list of installed programs starts it.
    bool m_bModify = false;
    // Every installed component is removed, and with the last the kept wizard.
    bool m_bUninstall = false;
    // Empty unless given: then the components to install, in place of
    // what the Components page preselects.
    std::vector<std::string> m_components;
    std::vector<std::string> m_remove;
    std::string m_strInstallDir;
    std::string m_strDownloadOnlyDir;
    // A layout downloading only made, to install from in this run alone.
    std::string m_strSourceDir;
    std::string m_strLogPath;
    // The site by its place in the sites list (from 1), or by address.
    int m_nSite = 1;
    // Package files downloaded at once; 0 when not given.
    int m_nConnections = 0;
    std::string m_strSiteUrl;
    // The first argument not understood; empty when every one was.
    std::string m_strBadArgument;

    bool IsUnattended() const { return m_bQuiet || m_bPassive; }
};

// The arguments as the platform splits a command line: blanks separate
// them, except within double quotes, which are dropped.
std::vector<std::string> SplitArguments(const std::string& commandLine);
// False (with m_strBadArgument) for an unknown option or a malformed value.
bool ParseCommandLine(const std::string& commandLine, CSetupOptions& options);

// Why an unattended run installs nothing without /accept-license, as its log tells it.
constexpr char kLicenseNotAccepted[] = "The license was not accepted (/accept-license): nothing is installed";

// The text "/?" shows.
extern const char kUsageText[];
