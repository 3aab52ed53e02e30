// A component of the catalogue and the catalogue itself.
#pragma once
#include "app/StringKeyMap.h"

#include <set>
#include <string>

class CComponent {
public:
    std::string m_strName;
    std::string m_strPkgInfoLocation;
    std::string m_strPkgInfo;
    std::string m_strDependOn;
    int m_nVersion = -1;
    int m_nInstalledVersion = 0;
    // 0 leave as is, 1 install or upgrade (or download), 2 remove.
    int m_nState = 0;
    // 0 none, 1 install, 2 upgrade, 3 remove.
    int m_nAction = 0;
    // The components whose m_strDependOn names this one; no order.
    std::set<CComponent*> m_mapDependents;
};

// Records live until the process ends; the map only points at them.
using CComponentMap = CStringKeyMap<CComponent*>;
