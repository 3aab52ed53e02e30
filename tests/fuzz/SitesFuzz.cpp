// Download-sites lists as the setup web site may serve them: the Regions and
// Locations lines.
#include "FuzzCheck.h"
#include "IniText.h"
#include "app/PathText.h"
#include "download/DownloadSite.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CIniText ini(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& line : ini.Lines("Regions")) {
        int index = 0;
        std::string name;
        // The name is all of the line after its first "=".
        if (ParseRegionLine(line, index, name)) Require(line.find('=') + 1 + name.size() == line.size());
    }
    for (const std::string& line : ini.Lines("Locations")) {
        CDownloadSite site;
        if (!ParseLocationLine(line, site)) continue;
        // Only a web address names a site.
        Require(IsWebAddress(site.m_strURL));
        // Address, "=", region number, ",", display text: nothing lost, nothing added.
        Require(line.find('=') == site.m_strURL.size() && line.compare(0, site.m_strURL.size(), site.m_strURL) == 0);
        const size_t comma = line.size() - site.m_strDisplay.size() - 1;
        Require(line[comma] == ',' && line.compare(comma + 1, std::string::npos, site.m_strDisplay) == 0);
        Require(line.find(',', site.m_strURL.size()) == comma);
    }
    return 0;
}
