#include "select/ComponentStates.h"

#include "app/Registry.h"
#include "app/SetupApp.h"

ComponentKind KindOf(const CComponent& comp) {
    if (comp.m_nInstalledVersion == 0) return ComponentKind::NotInstalled;
    return comp.m_nVersion > comp.m_nInstalledVersion ? ComponentKind::Upgradable : ComponentKind::Current;
}

std::string ActionWord(int nAction) {
    switch (nAction) {
    case ACTION_NONE: return "";
    case ACTION_INSTALL: return "install";
    case ACTION_UPGRADE: return "upgrade";
    case ACTION_REMOVE: return "remove";
    default: return "unknown";
    }
}

std::string StateText(const CComponent& comp) {
    switch (KindOf(comp)) {
    case ComponentKind::NotInstalled: return "not installed";
    case ComponentKind::Upgradable: return "upgrade available";
    case ComponentKind::Current: break;
    }
    return "already installed";
}

void ApplyClick(CComponent& comp) {
    const int s0 = comp.m_nState;
    switch (KindOf(comp)) {
    case ComponentKind::NotInstalled:
        comp.m_nState = s0 == STATE_LEAVE ? STATE_INSTALL : STATE_LEAVE;
        comp.m_nAction = comp.m_nState == STATE_INSTALL ? ACTION_INSTALL : ACTION_NONE;
        break;
    case ComponentKind::Upgradable: {
        static const int kActions[] = {ACTION_NONE, ACTION_UPGRADE, ACTION_REMOVE};
        comp.m_nState = s0 >= STATE_LEAVE && s0 < STATE_REMOVE ? s0 + 1 : STATE_LEAVE;
        comp.m_nAction = kActions[comp.m_nState];
        break;
    }
    case ComponentKind::Current:
        comp.m_nState = s0 == STATE_LEAVE ? STATE_REMOVE : STATE_LEAVE;
        comp.m_nAction = comp.m_nState == STATE_REMOVE ? ACTION_REMOVE : ACTION_NONE;
        break;
    }
}

// Defaults are applied again at every call: a new computer gets everything,
// a computer with the product gets its upgrades and the missing components
// that need nothing else.
void CSetupApp::ComputeComponentStates() {
    m_nInstalledCount = 0;
    for (auto& entry : m_mapComponents) {
        CComponent* pComp = entry.second;
        const std::string key = std::string(ZEP_CLIENT_KEY) + "\\" + entry.first;
        pComp->m_nInstalledVersion = int(ReadRegDword(key.c_str(), "Version", 0));
        if (pComp->m_nInstalledVersion != 0) {
            ++m_nInstalledCount;
            if (KindOf(*pComp) == ComponentKind::Upgradable) {
                pComp->m_nAction = ACTION_UPGRADE;
                pComp->m_nState = STATE_INSTALL;
            }
        } else if (m_bNewInstall || pComp->m_strDependOn.empty()) {
            pComp->m_nAction = ACTION_INSTALL;
            pComp->m_nState = STATE_INSTALL;
        }
    }
}
