// The download sites list of the run: read from the download folder or
// from beside the program, and the site the command line names.
#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "app/SetupRun.h"

namespace {

// A file (not a folder) at path, with its attributes and size.
bool FindFile(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& file) {
    return ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file) &&
           !(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The lines of Locations fit into a buffer as large as the whole file.
BOOL CSetupRun::LoadLocations() {
    WIN32_FILE_ATTRIBUTE_DATA file{};
    // Held unchanged from its check until it has been read.
    CPinnedFiles pin;
    std::string path = JoinPath(m_strDownloadDir, m_strLocationsInfo);
    if (!m_trust.Admits(m_strLocationsInfo, path, pin) || !FindFile(path, file)) {
        path = JoinPath(".", m_strLocationsInfo);
        if (!m_trust.Admits(m_strLocationsInfo, path, pin) || !FindFile(path, file)) {
            m_log.Write("No sites list " + m_strLocationsInfo + " that may be used");
            return FALSE;
        }
    }
    const std::vector<std::string> regions = ReadSectionLines(path, "Regions", 32767);
    if (regions.empty()) return FALSE;
    for (const std::string& line : regions) {
        int index = 0;
        std::string name;
        if (ParseRegionLine(line, index, name)) m_mapRegions.SetAt(index, new std::string(name));
    }
    if (file.nFileSizeHigh != 0) return FALSE;
    const std::vector<std::string> locations = ReadSectionLines(path, "Locations", file.nFileSizeLow);
    if (locations.empty()) return FALSE;
    for (const std::string& line : locations) {
        CDownloadSite site;
        if (ParseLocationLine(line, site)) m_listSites.push_back(new CDownloadSite(site));
    }
    return TRUE;
}

CDownloadSite* CSetupRun::SiteOfOptions(int nRegion) {
    if (!m_options.m_strSiteUrl.empty()) {
        auto* pSite = new CDownloadSite;
        pSite->m_strURL = pSite->m_strDisplay = m_options.m_strSiteUrl;
        pSite->m_nRegion = nRegion;
        m_listSites.push_back(pSite);
        return pSite;
    }
    int place = 0;
    for (CDownloadSite* pSite : m_listSites)
        if (++place == m_options.m_nSite) return pSite;
    return nullptr;
}

// The list is refreshed and loaded once per run: coming back to the page
// keeps the regions, the sites and the selection.
