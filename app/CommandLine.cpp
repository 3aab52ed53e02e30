#include "app/CommandLine.h"

#include "app/PathText.h"

#include <cctype>
#include <cstdlib>

const char kUsageText[] =
    "zepsetup.exe [options]\n\n"
    "/quiet\t\tno window at all\n"
    "/passive\t\tthe pages show and go on by themselves\n"
    "/accept-license\taccepts the license (needed by /quiet and /passive)\n"
    "/components:KEY[,KEY...]\tcomponents to install or upgrade\n"
    "/remove:KEY[,KEY...]\tcomponents to remove\n"
    "/dir:PATH\t\tthe install folder\n"
    "/download-only:FOLDER\tdownload the packages into FOLDER only, with this program: a layout\n"
    "/source:FOLDER\tinstall from such a layout, for this run\n"
    "/site:N or /site:URL\tthe N-th site of the sites list, or an address\n"
    "/connections:N\tpackage files downloaded at once, 1 to 16 (default 4)\n"
    "/log:FILE\t\tthe setup log\n"
    "/norestart\t\tnever restart the computer\n"
    "/modify\t\topens at the components, to change or remove them\n"
    "/uninstall\t\tremoves every component and this program's kept copy\n"
    "/? /h /help\t\tthis text\n\n"
    "Without /log: the log is %TEMP%\\zepsetup-YYYYMMDD-HHMMSS.log.\n"
    "Example: zepsetup.exe /quiet /accept-license /components:Base /log:C:\\Logs\\zep.log\n\n"
    "Exit codes: 0 done, 3010 done and a restart is needed, 1641 done and the restart started,\n"
    "1602 cancelled, 1603 failed, 1618 another setup is running, 1622 the log cannot be written,\n"
    "87 an unknown option, a malformed or relative value, or a component key the list lacks.";

int RunExitCode(bool bFinished, int nNotDone, bool bRebootRequired) {
    if (!bFinished) return kExitCancelled;
    if (nNotDone != 0) return kExitFailed;
    return bRebootRequired ? kExitRestartNeeded : kExitDone;
}

std::vector<std::string> SplitArguments(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false, inArgument = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

namespace {

// Keys as the catalogue spells them; an empty one is a malformed list.
bool SplitKeys(const std::string& list, std::vector<std::string>& keys) {
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string key = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (key.empty()) return false;
        keys.push_back(key);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// A drive's root or a share, from which the path leads the same way whatever the current folder.
bool IsFullPath(const std::string& path) {
    const auto separator = [&path](size_t i) { return i < path.size() && (path[i] == '\\' || path[i] == '/'); };
    return (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && separator(2)) ||
           (separator(0) && separator(1));
}

bool ParseSite(const std::string& value, CSetupOptions& options) {
    if (IsWebAddress(value)) {
        options.m_strSiteUrl = value;
        return true;
    }
    if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos) return false;
    options.m_nSite = std::atoi(value.c_str());
    return options.m_nSite > 0;
}

bool ParseArgument(const std::string& argument, CSetupOptions& options) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return false;
    const size_t colon = argument.find(':');
    const std::string name = LowerAscii(argument.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
    if (colon == std::string::npos) {
        bool* flag = name == "quiet"            ? &options.m_bQuiet
                     : name == "passive"        ? &options.m_bPassive
                     : name == "accept-license" ? &options.m_bAcceptLicense
                     : name == "norestart"      ? &options.m_bNoRestart
                     : name == "?" || name == "h" || name == "help" ? &options.m_bUsage
                     : name == "modify"         ? &options.m_bModify
                     : name == "uninstall"      ? &options.m_bUninstall
                                                : nullptr;
        if (flag) *flag = true;
        return flag != nullptr;
    }
    const std::string value = argument.substr(colon + 1);
    if (name == "components") return SplitKeys(value, options.m_components);
    if (name == "remove") return SplitKeys(value, options.m_remove);
    if (name == "site") return ParseSite(value, options);
    if (name == "connections") {
        options.m_nConnections = std::atoi(value.c_str());
        return options.m_nConnections >= 1 && options.m_nConnections <= kMaxConnections &&
               value.find_first_not_of("0123456789") == std::string::npos;
    }
    std::string* text = name == "dir"             ? &options.m_strInstallDir
                        : name == "download-only" ? &options.m_strDownloadOnlyDir
                        : name == "source"        ? &options.m_strSourceDir
                        : name == "log"           ? &options.m_strLogPath
                                                  : nullptr;
    // Removal finds a component by the folder its record names: a relative one leads elsewhere from another folder.
    if (!text || value.empty() || (text == &options.m_strInstallDir && !IsFullPath(value))) return false;
    *text = value;
    return true;
}

}  // namespace

bool ParseCommandLine(const std::string& commandLine, CSetupOptions& options) {
    // Read to the end all the same: a /quiet after a bad argument still keeps the run without a window.
    for (const std::string& argument : SplitArguments(commandLine))
        if (!ParseArgument(argument, options) && options.m_strBadArgument.empty()) options.m_strBadArgument = argument;
    if (!options.m_strBadArgument.empty()) return false;
    // Quiet and passive at once ask for two things; so does downloading only
    // while removing or changing the installed components, or removing them
    // all while naming some.
    const bool bDownloadOnly = !options.m_strDownloadOnlyDir.empty();
    const bool bUninstallAndMore = options.m_bUninstall && (bDownloadOnly || options.m_bModify ||
                                                            !options.m_components.empty() || !options.m_remove.empty());
    if ((options.m_bQuiet && options.m_bPassive) || bUninstallAndMore ||
        (bDownloadOnly && (!options.m_remove.empty() || options.m_bModify))) {
        options.m_strBadArgument = options.m_bQuiet && options.m_bPassive ? "/passive"
                                   : bUninstallAndMore                    ? "/uninstall"
                                   : options.m_bModify                    ? "/modify"
                                                                          : "/remove";
        return false;
    }
    return true;
}
