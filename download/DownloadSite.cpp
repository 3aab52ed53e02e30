#include "download/DownloadSite.h"

#include "app/NumberText.h"
#include "app/PathText.h"

#include <cstdint>

namespace {

// Region number minus 1, wrapping as the number itself does.
int RegionIndex(const std::string& number) { return int(uint32_t(ParseDecimal(number.c_str())) - 1u); }

}  // namespace

bool ParseRegionLine(const std::string& line, int& nIndex, std::string& strName) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    nIndex = RegionIndex(line.substr(0, equals));
    strName = line.substr(equals + 1);
    return true;
}

bool ParseLocationLine(const std::string& line, CDownloadSite& site) {
    const size_t equals = line.find('=');
    const size_t comma = equals == std::string::npos ? equals : line.find(',', equals + 1);
    if (comma == std::string::npos || !IsWebAddress(line.substr(0, equals))) return false;
    site.m_strURL = line.substr(0, equals);
    site.m_nRegion = RegionIndex(line.substr(equals + 1, comma - equals - 1));
    site.m_strDisplay = line.substr(comma + 1);
    return true;
}
