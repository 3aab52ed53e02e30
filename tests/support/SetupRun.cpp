#include "support/SetupRun.h"

#include "app/Registry.h"
#include "app/SetupApp.h"
#include "support/TestSupport.h"

#include <shlwapi.h>

namespace testsupport {

std::string ComponentSection(const std::string& key, int version, const std::string& dependOn) {
    return "[Comp" + key + "]\r\nName=ZEP " + key + "\r\nPkgInfo=" + key + ".pki\r\nPkgInfoLocation=pki\r\nVer=" +
           std::to_string(version) + "\r\n" + (dependOn.empty() ? "" : "DependOn1=" + dependOn + "\r\n");
}

std::string SetupInfo(const std::string& keys, const std::string& sections) {
    return "[Product]\r\nName=ZEP\r\n[Components]\r\n" + keys + sections;
}

std::string PackageInfoFile(const std::map<std::string, long long>& files) {
    std::string text = "[Package]\r\nVer=256\r\n[Folders]\r\n1=${Target}\r\n[Sources]\r\n0=files\r\n[Files]\r\n";
    for (const auto& file : files) text += file.first + "=,," + std::to_string(file.second) + ",,,0,1\r\n";
    return text;
}

void PrepareRun(const std::string& dir, const std::string& setupInfo, const std::map<std::string, int>& installed,
                const std::string& siteUrl, const std::string& location) {
    WriteFile(dir + "\\zepsetup.sif", setupInfo);
    theApp.m_mapComponents.RemoveAll();
    theApp.m_mapPackages.RemoveAll();
    theApp.LoadComponents((dir + "\\zepsetup.sif").c_str());
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, ZEP_CLIENT_KEY);
    for (const auto& entry : installed)
        WriteRegDword((std::string(ZEP_CLIENT_KEY "\\") + entry.first).c_str(), "Version", entry.second);
    theApp.m_bNewInstall = installed.empty();
    theApp.ComputeComponentStates();
    theApp.m_strDownloadDir = dir + "\\dl\\";
    ::CreateDirectoryA(theApp.m_strDownloadDir.c_str(), nullptr);
    theApp.m_strInstallDir = theApp.m_strTempDir = dir + "\\ZEP";
    theApp.m_strBaseURL = siteUrl;
    theApp.m_strSetupInfoLocation = location;
    theApp.m_nDownloadOnly = 0;
    theApp.m_bComponentListUpdated = false;
    theApp.m_strLocationsInfo = "sites.ini";
    theApp.m_mapRegions.RemoveAll();
    theApp.m_listSites.clear();
    theApp.m_pSelectedSite = nullptr;
    static HINTERNET session = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    theApp.m_hInternet = session;
    // As the program reads them at start: list clicks tell where they land.
    g_nComCtlMajor = 5;
    g_nComCtlMinor = 81;
}

}  // namespace testsupport
