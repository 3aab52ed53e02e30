// A component of the catalogue, the catalogue itself and the merge of a setup
// information file into it. The merge uses no system call, so that it also
// builds natively (and is fuzzed there); the program reads the file through
// the profile functions.
#pragma once
#include "app/StringKeyMap.h"

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The catalogue's updated list on the setup web site, and in the download folder.
constexpr char kComponentList[] = "zep.sif";

class CComponent {
public:
    std::string m_strName;
    std::string m_strPkgInfoLocation;
    std::string m_strPkgInfo;
    std::string m_strDependOn;
    int m_nVersion = -1;
    int m_nInstalledVersion = 0;
    // Its last install was cut short (a crash, a power cut): it counts as
    // installed, and its package is installed whole again.
    bool m_bCutShort = false;
    // 0 leave as is, 1 install or upgrade (or download), 2 remove.
    int m_nState = 0;
    // 0 none, 1 install, 2 upgrade, 3 remove.
    int m_nAction = 0;
    // The components whose m_strDependOn names this one now; no order.
    std::set<CComponent*> m_mapDependents;
};

// Records live until the process ends; the map only points at them.
using CComponentMap = CStringKeyMap<CComponent*>;

// The values of a setup information file's component sections.
class CComponentValues {
public:
    virtual ~CComponentValues() = default;
    // The text of key in section; empty when missing.
    virtual std::string Text(const std::string& section, const char* key) = 0;
    // The number of key in section; fallback when missing.
    virtual int Number(const std::string& section, const char* key, int fallback) = 0;
};

// Merges the component keys of a Components section into the catalogue and
// links the dependents. keys holds length characters as the profile reader
// returns a section: strings each ended by a zero byte, an empty one ending
// the list. New records are created with new; false, with the catalogue
// unchanged, when keys is empty.
bool MergeComponents(CComponentMap& catalogue, const char* keys, size_t length, CComponentValues& values);

// Calls visit for every component that depends on comp, directly or through
// others, each once, depth first: a dependent's own dependents come right
// after it. The stack is explicit, since a catalogue may chain any number of
// components or lead back into itself.
template <class Visit>
void WalkDependents(const CComponent& comp, Visit visit) {
    using Range = std::pair<std::set<CComponent*>::const_iterator, std::set<CComponent*>::const_iterator>;
    std::set<const CComponent*> visited{&comp};
    std::vector<Range> stack{{comp.m_mapDependents.begin(), comp.m_mapDependents.end()}};
    while (!stack.empty()) {
        Range& top = stack.back();
        if (top.first == top.second) {
            stack.pop_back();
            continue;
        }
        CComponent* pDependent = *top.first++;
        if (!visited.insert(pDependent).second) continue;
        visit(*pDependent);
        stack.emplace_back(pDependent->m_mapDependents.begin(), pDependent->m_mapDependents.end());
    }
}
