#include "select/ComponentStates.h"

#include "app/NumberText.h"
#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "install/InstallLog.h"

#include <set>

ComponentKind KindOf(const CComponent& comp) {
    // One cut short is offered as an upgrade is: to be installed whole again.
    if (comp.m_bCutShort) return ComponentKind::Upgradable;
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
    case ComponentKind::Upgradable: return comp.m_bCutShort ? "install incomplete" : "upgrade available";
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

namespace {

bool IsInstalled(const CComponent& comp) { return comp.m_nInstalledVersion != 0 || comp.m_bCutShort; }

void Mark(CComponent& comp, int nState, int nAction) {
    comp.m_nState = nState;
    comp.m_nAction = nAction;
}

// Installed and staying, or about to be installed.
bool IsStayingOrComing(const CComponent& comp) {
    return comp.m_nAction == ACTION_INSTALL || (IsInstalled(comp) && comp.m_nAction != ACTION_REMOVE);
}

}  // namespace

void ClickComponent(CComponent& comp, const CComponentMap& catalogue, CSelectionView& view) {
    const int s0 = comp.m_nState, a0 = comp.m_nAction;
    ApplyClick(comp);
    const bool leaves = comp.m_nAction == ACTION_REMOVE || (comp.m_nAction == ACTION_NONE && s0 == STATE_INSTALL);
    if (leaves && !comp.m_mapDependents.empty()) {
        bool ask = false;
        for (const CComponent* pDependent : comp.m_mapDependents) ask = ask || IsStayingOrComing(*pDependent);
        // The box shows the click while the question is open.
        view.ShowSelection(comp);
        if (ask && view.ConfirmDependentsRemoved(comp)) {
            MarkDependentsRemoved(comp, view);
        } else if (ask) {
            Mark(comp, s0, a0);
        }
    } else if (IsStayingOrComing(comp) && !comp.m_strDependOn.empty()) {
        SelectPrerequisites(comp, catalogue, view);
    }
    view.ShowSelection(comp);
}

void SelectPrerequisites(const CComponent& comp, const CComponentMap& catalogue, CSelectionView& view) {
    std::set<const CComponent*> visited{&comp};
    for (const CComponent* pComp = &comp; !pComp->m_strDependOn.empty();) {
        CComponent* const* ppPrerequisite = catalogue.Lookup(pComp->m_strDependOn);
        if (!ppPrerequisite || !visited.insert(*ppPrerequisite).second) return;
        CComponent& prerequisite = **ppPrerequisite;
        if (!IsInstalled(prerequisite))
            Mark(prerequisite, STATE_INSTALL, ACTION_INSTALL);
        else if (prerequisite.m_bCutShort)
            Mark(prerequisite, STATE_INSTALL, ACTION_UPGRADE);
        else if (prerequisite.m_nAction == ACTION_REMOVE)
            Mark(prerequisite, STATE_LEAVE, ACTION_NONE);
        view.ShowSelection(prerequisite);
        pComp = &prerequisite;
    }
}

void MarkDependentsRemoved(const CComponent& comp, CSelectionView& view) {
    WalkDependents(comp, [&view](CComponent& dependent) {
        if (IsInstalled(dependent))
            Mark(dependent, STATE_REMOVE, ACTION_REMOVE);
        else if (dependent.m_nAction == ACTION_INSTALL)
            Mark(dependent, STATE_LEAVE, ACTION_NONE);
        view.ShowSelection(dependent);
    });
}

CSelectionCounts CountSelection(const CComponentMap& catalogue) {
    CSelectionCounts counts;
    for (const auto& entry : catalogue) {
        const CComponent& comp = *entry.second;
        counts.m_bAnySelected = counts.m_bAnySelected || comp.m_nAction != ACTION_NONE;
        if (comp.m_nState == STATE_INSTALL) ++counts.m_nToInstall;
        if (comp.m_nState == STATE_REMOVE) ++counts.m_nToRemove;
    }
    return counts;
}

// A new computer gets everything, a computer with the product gets its
// upgrades and the missing components that need nothing else.
void Preselect(CComponent& comp, bool bNewInstall) {
    if (IsInstalled(comp)) {
        if (KindOf(comp) == ComponentKind::Upgradable) Mark(comp, STATE_INSTALL, ACTION_UPGRADE);
    } else if (bNewInstall || comp.m_strDependOn.empty()) {
        Mark(comp, STATE_INSTALL, ACTION_INSTALL);
    }
}

// Defaults are applied again at every call.
void CSetupRun::ComputeComponentStates() {
    m_nInstalledCount = 0;
    for (auto& entry : m_mapComponents) {
        CComponent* pComp = entry.second;
        const std::string key = std::string(ZEP_CLIENT_KEY) + "\\" + entry.first;
        pComp->m_nInstalledVersion = int(ReadRegDword(key.c_str(), "Version", 0));
        std::string pendingLogHash;
        pComp->m_bCutShort = ReadRegPath(key.c_str(), kPendingLogHashValue, kRegPathLimit, pendingLogHash);
        if (IsInstalled(*pComp)) ++m_nInstalledCount;
        Preselect(*pComp, m_bNewInstall);
    }
}

namespace {

// The component of key, spelt as given, or else of the one key that differs
// from it only in case, as switches do; none when two keys do.
CComponent* FindComponent(CComponentMap& catalogue, const std::string& key) {
    if (CComponent** exact = catalogue.Lookup(key)) return *exact;
    CComponent* found = nullptr;
    for (auto& entry : catalogue)
        if (LowerAscii(entry.first) == LowerAscii(key)) {
            if (found) return nullptr;
            found = entry.second;
        }
    return found;
}

}  // namespace

bool SelectByKeys(CComponentMap& catalogue, const std::vector<std::string>& install,
                  const std::vector<std::string>& remove, CSelectionView& view, std::string& unknownKey) {
    for (const std::vector<std::string>* keys : {&install, &remove})
        for (const std::string& key : *keys)
            if (!FindComponent(catalogue, key)) {
                unknownKey = key;
                return false;
            }
    if (!install.empty() || !remove.empty())
        for (auto& entry : catalogue)
            if (entry.second->m_nState == STATE_INSTALL) {
                Mark(*entry.second, STATE_LEAVE, ACTION_NONE);
                view.ShowSelection(*entry.second);
            }
    for (const std::string& key : install) {
        CComponent& comp = *FindComponent(catalogue, key);
        if (comp.m_nState == STATE_LEAVE && KindOf(comp) != ComponentKind::Current)
            ClickComponent(comp, catalogue, view);
    }
    for (const std::string& key : remove) {
        CComponent& comp = *FindComponent(catalogue, key);
        if (!IsInstalled(comp)) continue;
        Mark(comp, STATE_REMOVE, ACTION_REMOVE);
        view.ShowSelection(comp);
        MarkDependentsRemoved(comp, view);
    }
    return true;
}

std::vector<std::string> KeysToRemove(const CComponentMap& catalogue, const CSetupOptions& options) {
    if (!options.m_bUninstall) return options.m_remove;
    std::vector<std::string> keys;
    for (const auto& entry : catalogue)
        if (IsInstalled(*entry.second)) keys.push_back(entry.first);
    return keys;
}

void LogSelection(const CComponentMap& catalogue, CSetupLog& log) {
    for (const auto& entry : catalogue) {
        const CComponent& comp = *entry.second;
        const std::string action = ActionWord(comp.m_nAction);
        log.Write("Component " + entry.first + " (" + comp.m_strName + "): " + StateText(comp) + ", available " +
                  VersionToString(comp.m_nVersion) + (action.empty() ? std::string() : ", to " + action));
    }
}
