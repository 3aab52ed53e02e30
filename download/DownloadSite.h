// One download site of the sites list, and the list file's lines. The line
// readers use no window or file, so that they also build natively.
#pragma once
#include <string>

class CDownloadSite {
public:
    // Region number minus 1.
    int m_nRegion = 0;
    std::string m_strDisplay;
    std::string m_strURL;
};

// A line of the section Regions, "number=name": the region's index (number
// minus 1) and name. False for a line without "=".
bool ParseRegionLine(const std::string& line, int& nIndex, std::string& strName);
// A line of the section Locations, "address=region number,display text" (the
// text may hold commas). False for a line without "=" or without a "," after
// it, and for an address that is no web address (IsWebAddress): such a line
// names no site.
bool ParseLocationLine(const std::string& line, CDownloadSite& site);
