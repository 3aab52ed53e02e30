#include "app/Component.h"

#include "app/PathText.h"

#include <cstring>

bool MergeComponents(CComponentMap& catalogue, const char* keys, size_t length, CComponentValues& values) {
    if (length == 0) return false;
    const char* key = keys;
    const char* end = keys + length;
    if (*key == '\0') ++key;
    for (; key < end && *key; key += std::strlen(key) + 1) {
        // A key names the component's install log and registry key: one that
        // is no plain name would lead out of the folder or key it belongs in.
        if (!IsPlainFileName(key)) continue;
        CComponent** found = catalogue.Lookup(key);
        CComponent* pComp = found ? *found : catalogue.SetAt(key, new CComponent);

        const std::string section = std::string("Comp") + key;
        std::string value = values.Text(section, "Name");
        pComp->m_strName = value.empty() ? key : value;
        value = values.Text(section, "PkgInfoLocation");
        if (!value.empty()) pComp->m_strPkgInfoLocation = value;
        value = values.Text(section, "PkgInfo");
        if (value.empty()) continue;
        pComp->m_strPkgInfo = value;
        value = values.Text(section, "DependOn1");
        if (!value.empty()) pComp->m_strDependOn = value;
        const int version = values.Number(section, "Ver", -1);
        if (version != -1) pComp->m_nVersion = version;
    }

    // A list merged later may name another dependency: only the current one
    // links, or removing the old target would take its former dependent too.
    for (auto& entry : catalogue) entry.second->m_mapDependents.clear();
    for (auto& entry : catalogue) {
        CComponent* pComp = entry.second;
        if (pComp->m_strDependOn.empty()) continue;
        if (CComponent** pTarget = catalogue.Lookup(pComp->m_strDependOn)) (*pTarget)->m_mapDependents.insert(pComp);
    }
    return true;
}
