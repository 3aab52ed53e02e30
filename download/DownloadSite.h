// One download site of the sites list.
#pragma once
#include <string>

class CDownloadSite {
public:
    std::string m_strName;
    std::string m_strURL;
};
