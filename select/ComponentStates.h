// What a component is (not installed, upgradable, current), what the user
// may choose for it, and the texts the lists show for it.
#pragma once
#include "app/CommandLine.h"
#include "app/Component.h"

#include <string>
#include <vector>

class CSetupLog;

enum { ACTION_NONE = 0, ACTION_INSTALL = 1, ACTION_UPGRADE = 2, ACTION_REMOVE = 3 };
enum { STATE_LEAVE = 0, STATE_INSTALL = 1, STATE_REMOVE = 2 };

enum class ComponentKind { NotInstalled, Upgradable, Current };
ComponentKind KindOf(const CComponent& comp);

// The text of the Action column.
std::string ActionWord(int nAction);
// The text of the Current state column.
std::string StateText(const CComponent& comp);

// The state and action a run starts a component with: bNewInstall when the
// computer never had the product.
void Preselect(CComponent& comp, bool bNewInstall);
// One click on a component: its next selection state and action.
void ApplyClick(CComponent& comp);

// The one who clicks, as the selection rules see them: shown each change,
// and asked when a click would take dependents along.
class CSelectionView {
public:
    // comp's state or action changed.
    virtual void ShowSelection(const CComponent& comp) = 0;
    // Whether the dependents of comp, which is leaving, leave with it.
    virtual bool ConfirmDependentsRemoved(const CComponent& comp) = 0;

protected:
    ~CSelectionView() = default;
};

// One click on comp with the dependency rules: its prerequisites are marked
// along; a component that leaves takes its installed or chosen dependents
// with it when the view agrees, and otherwise the click is taken back.
void ClickComponent(CComponent& comp, const CComponentMap& catalogue, CSelectionView& view);
// A chain that leads back into itself ends where it was before.
void SelectPrerequisites(const CComponent& comp, const CComponentMap& catalogue, CSelectionView& view);
void MarkDependentsRemoved(const CComponent& comp, CSelectionView& view);

// The keys a run removes: with /uninstall those of every component
// installed (also one whose install was cut short), else those named.
std::vector<std::string> KeysToRemove(const CComponentMap& catalogue, const CSetupOptions& options);

// The selection a run without a person asks for, by the same rules. Named
// components replace the preselection: exactly those of install (and their
// prerequisites) are installed or upgraded, and each of remove leaves with
// its dependents, as when the user agrees to take them along. False, with
// the key, for a key the catalogue lacks.
bool SelectByKeys(CComponentMap& catalogue, const std::vector<std::string>& install,
                  const std::vector<std::string>& remove, CSelectionView& view, std::string& unknownKey);

// What the selection amounts to: components to install or upgrade, to
// remove, and whether any has an action at all.
struct CSelectionCounts {
    int m_nToInstall = 0;
    int m_nToRemove = 0;
    bool m_bAnySelected = false;
};
CSelectionCounts CountSelection(const CComponentMap& catalogue);

// Each component's state and action, into the setup log.
void LogSelection(const CComponentMap& catalogue, CSetupLog& log);
